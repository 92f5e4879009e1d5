#!/usr/bin/env bash
# Runs every benchmark program several times and prints the best of each figure.
#
#   bench/run.sh [--build DIR] [--runs N] [--seconds S] [--baseline | --compare]
#
#   --build DIR   the build tree holding orvo-bench-* (default: build/)
#   --runs N      runs of each program; the best figure of the runs is kept (default 3)
#   --seconds S   minimum processor time of each measurement (default 1)
#   --baseline    also write the figures, with the machine they came from, to bench/baseline.txt
#   --compare     also show each figure against bench/baseline.txt (+ is better)
#
# A figure is one line "<name> <value> <unit> [<n> x real time]"; times ("us/frame", "s") are
# best when lowest, every other unit when highest.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build"
RUNS=3
SECONDS_EACH=1
MODE=show
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$(cd "$2" && pwd)"; shift 2 ;;
    --runs) RUNS="$2"; shift 2 ;;
    --seconds) SECONDS_EACH="$2"; shift 2 ;;
    --baseline) MODE=baseline; shift ;;
    --compare) MODE=compare; shift ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

shopt -s nullglob
PROGRAMS=("$BUILD"/orvo-bench-*)
if [ ${#PROGRAMS[@]} -eq 0 ]; then
  echo "bench/run.sh: no orvo-bench-* programs in $BUILD (build the project first)" >&2
  exit 1
fi

RAW="$(mktemp)"
trap 'rm -f "$RAW"' EXIT
LOAD_BEFORE="$(cut -d' ' -f1-3 /proc/loadavg)"
# Round-robin over the programs, so a busy moment on the machine does not spoil every run of one.
for ((run = 1; run <= RUNS; ++run)); do
  for program in "${PROGRAMS[@]}"; do
    echo "run $run/$RUNS: $(basename "$program")" >&2
    "$program" --seconds "$SECONDS_EACH" >>"$RAW"
  done
done

# The best of each figure, in the order the programs print them.
best() {
  awk '
    NF >= 3 && $1 ~ /^[a-z0-9_]+\./ && $2 ~ /^[0-9.]+$/ {
      name = $1; value = $2 + 0; unit = $3
      lower = (unit ~ /^(ns|us|ms|s)(\/|$)/)
      if (!(name in bestv)) { order[++count] = name; bestv[name] = value; units[name] = unit
                              rt[name] = (NF >= 4 ? $4 : "") }
      else if ((lower && value < bestv[name]) || (!lower && value > bestv[name])) {
        bestv[name] = value; rt[name] = (NF >= 4 ? $4 : "")
      }
    }
    END {
      for (i = 1; i <= count; ++i) {
        n = order[i]
        if (rt[n] != "") printf "%-44s %12.3f %-12s %9.2f x real time\n", n, bestv[n], units[n], rt[n]
        else printf "%-44s %12.3f %s\n", n, bestv[n], units[n]
      }
    }' "$1"
}

BEST="$(best "$RAW")"
echo "$BEST"

if [ "$MODE" = baseline ]; then
  cpu="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
  compiler="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$BUILD/CMakeCache.txt" | head -1)"
  build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt" | head -1)"
  commit="$(git -C "$ROOT" rev-parse HEAD)"
  if ! git -C "$ROOT" diff --quiet HEAD -- src bench; then commit="$commit (with local changes)"; fi
  {
    echo "# Orvo benchmark baseline: the best of $RUNS runs of bench/run.sh, each measurement"
    echo "# at least $SECONDS_EACH s of processor time."
    echo "# cpu:      $cpu"
    echo "# cores:    $(nproc)"
    echo "# date:     $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "# compiler: $("${compiler:-c++}" --version | head -1) ($build_type)"
    echo "# commit:   $commit"
    echo "# load:     $LOAD_BEFORE (1, 5, 15 min averages before the runs; other work shared the machine)"
    echo "$BEST"
  } >"$ROOT/bench/baseline.txt"
  echo "wrote bench/baseline.txt" >&2
elif [ "$MODE" = compare ]; then
  echo
  echo "against bench/baseline.txt ($(sed -n 's/^# commit: *//p' "$ROOT/bench/baseline.txt")):"
  echo "$BEST" | awk '
    NR == FNR { if ($1 !~ /^#/ && NF >= 3) base[$1] = $2 + 0; next }
    {
      lower = ($3 ~ /^(ns|us|ms|s)(\/|$)/)
      if (!($1 in base) || base[$1] == 0) { printf "%-44s %12.3f %-12s (new)\n", $1, $2, $3; next }
      change = lower ? (base[$1] / $2 - 1) * 100 : ($2 / base[$1] - 1) * 100
      printf "%-44s %12.3f %-12s %+7.1f%%\n", $1, $2, $3, change
    }' "$ROOT/bench/baseline.txt" -
fi
