#!/usr/bin/env bash
# The checks CI runs after scripts/test.sh, in this order, stopping at the first failure:
#   format   clang-format 14 finds nothing to change in src/ tests/ bench/ fuzz/
#   asan     a clang build with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/),
#            warnings as errors, running every test but the `slow` ones
#   fuzz     every fuzz target built with clang (build-fuzz/) and run from its seed corpus
#            fuzz/corpus/<name>/ for $ORVO_FUZZ_SECONDS seconds (default 60), two at a time
#
#   bash scripts/ci-checks.sh [format] [asan] [fuzz]     (no argument: all three)
#
# Dependencies come from scripts/install-deps.sh (scripts/test.sh runs it).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
JOBS="$(nproc)"
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
CLANG=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)

stage() { printf '\n==== %s (%s)\n' "$1" "$(date -u +%H:%M:%S)"; }

check_format() {
  stage "clang-format"
  local tool=clang-format-14
  command -v "$tool" >/dev/null 2>&1 || tool=clang-format
  "$tool" --version
  find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
    xargs -0 "$tool" --dry-run --Werror
  echo "format: clean"
}

check_asan() {
  stage "AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan)"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "${CLANG[@]}" "${LAUNCHER[@]}" \
    -DORVO_SANITIZE=ON -DORVO_WERROR=ON
  cmake --build build-asan --parallel "$JOBS"
  stage "CTest under the sanitizers (all but the slow tests)"
  # No display: the window's tests run on the offscreen platform, and LeakSanitizer is not led
  # into the X and D-Bus libraries' own allocations.
  (
    cd build-asan
    unset DISPLAY WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$ROOT/.ci/lsan.supp:print_suppressions=0"
    # A test that fails is run once more: the sanitized build is several times slower, and the
    # few tests that pace themselves by the clock (sound device, frame rate) can miss under load.
    # A sanitizer report comes back on the second run as well.
    ctest -LE slow --output-on-failure --parallel "$JOBS" --repeat until-pass:2
  )
}

check_fuzz() {
  local seconds="${ORVO_FUZZ_SECONDS:-60}"
  stage "fuzz targets (build-fuzz)"
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CLANG[@]}" \
    "${LAUNCHER[@]}" -DORVO_FUZZ=ON -DORVO_WERROR=ON -DORVO_BUILD_GUI=OFF \
    -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCH=OFF
  cmake --build build-fuzz --parallel "$JOBS" --target orvo-fuzzers
  local targets=() missing=0 t name
  for t in build-fuzz/orvo-fuzz-*; do
    [ -x "$t" ] || continue
    name="${t#build-fuzz/orvo-fuzz-}"
    if [ ! -d "fuzz/corpus/$name" ] || [ -z "$(ls -A "fuzz/corpus/$name")" ]; then
      echo "fuzz: orvo-fuzz-$name has no seed corpus in fuzz/corpus/$name/" >&2
      missing=1
    fi
    targets+=("$name")
  done
  [ "$missing" -eq 0 ] || return 1
  if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz: no fuzz targets were built" >&2
    return 1
  fi
  stage "fuzzing ${#targets[@]} targets for ${seconds} s each, two at a time"
  rm -rf build-fuzz/run
  mkdir -p build-fuzz/run
  printf '%s\n' "${targets[@]}" |
    FUZZ_SECONDS="$seconds" xargs -P 2 -I{} bash "$ROOT/scripts/fuzz-one.sh" {} || {
    echo "fuzz: a target found a problem (logs and the input in build-fuzz/run/)" >&2
    return 1
  }
}

STAGES=("$@")
[ ${#STAGES[@]} -gt 0 ] || STAGES=(format asan fuzz)
TIMES=()
for s in "${STAGES[@]}"; do
  start=$SECONDS
  case "$s" in
    format) check_format ;;
    asan) check_asan ;;
    fuzz) check_fuzz ;;
    *) echo "ci-checks.sh: unknown check '$s' (format, asan or fuzz)" >&2; exit 2 ;;
  esac
  TIMES+=("$s $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s")
done
printf '\nci-checks passed:'
printf ' %s;' "${TIMES[@]}"
printf '\n'
