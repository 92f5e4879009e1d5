#!/usr/bin/env bash
# Runs one fuzz target of build-fuzz/ from its seed corpus for $FUZZ_SECONDS seconds (default 60).
# New inputs go to build-fuzz/run/<name>/corpus, never into the committed seeds. Any finding
# (crash, sanitizer report, leak, an input running longer than 10 s, memory past 2 GB) fails it.
#
#   bash scripts/fuzz-one.sh NAME      e.g. tape_tzx for build-fuzz/orvo-fuzz-tape_tzx
set -uo pipefail
cd "$(dirname "$0")/.."
name="$1"
seconds="${FUZZ_SECONDS:-60}"
dir="build-fuzz/run/$name"
mkdir -p "$dir/corpus"
echo "fuzz: $name for $seconds s"
"build-fuzz/orvo-fuzz-$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" "fuzz/corpus/$name" \
  >"$dir/log.txt" 2>&1
status=$?
if [ "$status" -ne 0 ]; then
  echo "fuzz: $name FAILED (exit $status); the end of $dir/log.txt:" >&2
  tail -n 60 "$dir/log.txt" >&2
  exit 1
fi
echo "fuzz: $name ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$dir/log.txt" |
  grep -o '[0-9]*$') runs)"
