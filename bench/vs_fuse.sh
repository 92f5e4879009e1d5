#!/usr/bin/env bash
# Runs Orvo's headless runner and Fuse side by side on the same 48K workloads and prints the ratio
# of their speeds (processor time for the same number of emulated frames).
#
#   bench/vs_fuse.sh [--build DIR] [--runs N] [--frames N] [--roms DIR]
#
#   --build DIR   the build tree holding orvo-run (default: build/)
#   --runs N      runs of each program; the best time is kept (default 3)
#   --frames N    emulated frames per workload (default 20000, 400 seconds of Spectrum time)
#   --roms DIR    the folder with 48.rom (default: $ORVO_SHARED/roms or ../shared/roms)
#
# Workloads: "idle" is the 48K sitting at the BASIC prompt; "busy" is a BASIC FOR loop doing
# arithmetic; "halt" is a BASIC PAUSE (the CPU halted between interrupts). Each starts from a Z80
# snapshot Orvo makes, so both emulators run exactly the same machine. Fuse (Debian's
# fuse-emulator-sdl) runs with the SDL dummy drivers, sound off, at its highest speed, and is
# stopped by a debugger breakpoint on its frame counter; without it the Orvo figures alone are
# printed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build"
RUNS=3
FRAMES=20000
ROMS="${ORVO_SHARED:-$ROOT/../shared}/roms"
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$(cd "$2" && pwd)"; shift 2 ;;
    --runs) RUNS="$2"; shift 2 ;;
    --frames) FRAMES="$2"; shift 2 ;;
    --roms) ROMS="$2"; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/vs_fuse.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
ORVO="$BUILD/orvo-run"
[ -x "$ORVO" ] || { echo "bench/vs_fuse.sh: no $ORVO (build the project first)" >&2; exit 1; }
[ -f "$ROMS/48.rom" ] || { echo "bench/vs_fuse.sh: no 48.rom in $ROMS" >&2; exit 1; }
FUSE="$(command -v fuse-sdl || true)"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# The snapshots: the prompt after booting, and each program waiting in its first PAUSE (a halted
# CPU is a state every emulator restores the same way).
"$ORVO" --rom-dir "$ROMS" --frames 150 --save "$WORK/idle.z80" >/dev/null
python3 "$ROOT/bench/basic_tap.py" "$WORK/busy.tap" '5 PAUSE 100' '10 PAUSE 300' \
  '20 FOR I=1 TO 60000: LET X=I*I+I/3: NEXT I'
python3 "$ROOT/bench/basic_tap.py" "$WORK/halt.tap" '5 PAUSE 100' '10 PAUSE 300' \
  '20 PAUSE 60000'
for w in busy halt; do
  "$ORVO" --rom-dir "$ROMS" --tape "$WORK/$w.tap" --autoload --fastload --frames 150 \
    --save "$WORK/$w.z80" >/dev/null
done

# Best processor time (user + system, seconds) of RUNS runs of a command.
best_time() {
  local best="" t
  for ((run = 1; run <= RUNS; ++run)); do
    t="$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{print $1 + $2}')"
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best="$t"; fi
  done
  echo "$best"
}

fuse_run() {
  # Fuse runs until the breakpoint on its frame counter exits it; the guard is for a Fuse that
  # cannot start (no display driver, a refused option).
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -s KILL 600 "$FUSE" --machine 48 \
    --no-sound --speed 100000 --rom-48 "$ROMS/48.rom" --snapshot "$1" \
    --debugger-command "break time 100 if spectrum:frames >= $FRAMES"$'\ncommands 1\nexit 0\nend' \
    || true
}

printf '%-6s %8s %14s %10s %14s %8s\n' workload frames "orvo s" "orvo x" "fuse s" ratio
for w in idle busy halt; do
  orvo_s="$(best_time "$ORVO" --rom-dir "$ROMS" --load "$WORK/$w.z80" --frames "$FRAMES")"
  orvo_x="$(awk -v f="$FRAMES" -v s="$orvo_s" 'BEGIN { printf "%.0f", (s > 0 ? f / 50 / s : 0) }')"
  if [ -n "$FUSE" ]; then
    fuse_s="$(best_time fuse_run "$WORK/$w.z80")"
    ratio="$(awk -v a="$fuse_s" -v b="$orvo_s" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
  else
    fuse_s="-"
    ratio="-"
  fi
  printf '%-6s %8s %14s %10s %14s %8s\n' "$w" "$FRAMES" "$orvo_s" "${orvo_x}x" "$fuse_s" "$ratio"
done
[ -n "$FUSE" ] || echo "(fuse-sdl is not installed: apt-get install fuse-emulator-sdl)"
echo "orvo x: times real time; ratio: Fuse's processor time over Orvo's (higher: Orvo faster)"
