#!/usr/bin/env bash
# Runs Orvo's headless runner and Fuse side by side on the same workloads and prints the ratio of
# their speeds (processor time for the same number of emulated frames).
#
#   bench/vs_fuse.sh [--build DIR] [--runs N] [--frames N] [--roms DIR] [--media DIR]
#                    [--only W[,W...]]
#
#   --build DIR   the build tree holding orvo-run (default: build/)
#   --runs N      runs of each program, the programs of a row taking turns; the best time of
#                 each is kept (default 3)
#   --frames N    emulated frames per workload (default 20000, 400 seconds of Spectrum time);
#                 the RZX replay always plays its recording (112000 frames)
#   --roms DIR    the folder with 48.rom (default: $ORVO_SHARED/roms or ../shared/roms)
#   --media DIR   the shared test media (default: $ORVO_SHARED/testdata/media)
#   --only LIST   run only these workloads (comma-separated names from the list below)
#
# Workloads, each starting from the same machine in both emulators:
#   idle      the 48K sitting at the BASIC prompt
#   busy      a BASIC FOR loop doing arithmetic
#   halt      a BASIC PAUSE (the CPU halted between interrupts)
#   rzx       replaying exolon.rzx (Fuse: --playback)
#   wav       busy with its sound written to a WAV file; Fuse has no such output, so the ratio
#             is Orvo's busy time over this one (the cost of the sound, 1.00 when it is free)
#   tape      LOAD "" of the turbo-loading wizball_turbo.tzx, the deck started and stopped by
#             the loader, for the whole run (Fuse: --auto-load, no fast loading, no traps)
#   fastload  the same with --fastload (Orvo then loads flat out and runs the frames after the
#             load: more work than Fuse's, which is the tape row's run)
#   disk      the +3 booted to its Loader with a disk in drive A: and --disk-fastload; Fuse has
#             no equivalent run, so the ratio is the time of a +3 left at its menu over this one
# idle, busy and halt start from Z80 snapshots Orvo makes. Fuse (Debian's fuse-emulator-sdl) runs
# with the SDL dummy drivers, sound off, at its highest speed, and is stopped by a debugger
# breakpoint on its frame counter; without it the Orvo figures alone are printed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build"
RUNS=3
FRAMES=20000
ROMS="${ORVO_SHARED:-$ROOT/../shared}/roms"
MEDIA="${ORVO_SHARED:-$ROOT/../shared}/testdata/media"
ONLY="idle,busy,halt,rzx,wav,tape,fastload,disk"
RZX_FRAMES=112000
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$(cd "$2" && pwd)"; shift 2 ;;
    --runs) RUNS="$2"; shift 2 ;;
    --frames) FRAMES="$2"; shift 2 ;;
    --roms) ROMS="$2"; shift 2 ;;
    --media) MEDIA="$2"; shift 2 ;;
    --only) ONLY="$2"; shift 2 ;;
    -h|--help) sed -n '2,38p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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

# The best processor time (user + system, seconds) of RUNS runs of each command, the commands
# taking turns so that a drift in the machine's speed (other work on it, its clock) weighs on all
# of them alike. Each argument is one command line (word-split, no quoting); "-" for none. Prints
# the best times in the order given ("-" for none).
best_times() {
  local -a best=()
  local i t run
  for ((run = 1; run <= RUNS; ++run)); do
    for ((i = 1; i <= $#; ++i)); do
      [ "${!i}" = "-" ] && { best[i]="-"; continue; }
      # shellcheck disable=SC2086
      # (A replay cut short by --frames exits with status 1: only the time counts here.)
      t="$( { TIMEFORMAT='%U %S'; time ${!i} >/dev/null 2>&1 || true; } 2>&1 |
        awk '{print $1 + $2}')"
      if [ -z "${best[i]:-}" ] || awk -v a="$t" -v b="${best[i]}" 'BEGIN { exit !(a < b) }'; then
        best[i]="$t"
      fi
    done
  done
  echo "${best[@]}"
}

fuse_run() {
  # Fuse runs until the breakpoint on its frame counter exits it; the guard is for a Fuse that
  # cannot start (no display driver, a refused option).
  local frames="$1"
  shift
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -s KILL 600 "$FUSE" --no-sound \
    --speed 100000 --rom-48 "$ROMS/48.rom" "$@" \
    --debugger-command "break time 100 if spectrum:frames >= $frames"$'\ncommands 1\nexit 0\nend' \
    || true
}

orvo_run() { "$ORVO" --rom-dir "$ROMS" "$@"; }
# The Fuse command line for a workload, or "-" without Fuse.
fuse_cmd() { if [ -n "$FUSE" ]; then echo "fuse_run $*"; else echo "-"; fi; }

wants() { case ",$ONLY," in *",$1,"*) return 0 ;; *) return 1 ;; esac; }

TAPE="$MEDIA/tzx/wizball_turbo.tzx"
DISK="$MEDIA/disk/dizzy7_crystal_kingdom_2017.dsk"
row() {
  # row NAME FRAMES ORVO_SECONDS FUSE_SECONDS_OR_- [RATIO]
  local name="$1" frames="$2" orvo_s="$3" fuse_s="$4" ratio="${5:-}"
  local orvo_x
  orvo_x="$(awk -v f="$frames" -v s="$orvo_s" 'BEGIN { printf "%.0f", (s > 0 ? f / 50 / s : 0) }')"
  if [ -z "$ratio" ]; then
    if [ "$fuse_s" = "-" ]; then
      ratio="-"
    else
      ratio="$(awk -v a="$fuse_s" -v b="$orvo_s" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
    fi
  fi
  printf '%-9s %8s %10s %8s %10s %8s\n' "$name" "$frames" "$orvo_s" "${orvo_x}x" "$fuse_s" "$ratio"
}
share() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f*", (b > 0 ? a / b : 0) }'; }

printf '%-9s %8s %10s %8s %10s %8s\n' workload frames "orvo s" "orvo x" "fuse s" ratio
for w in idle busy halt; do
  wants "$w" || continue
  read -r o f < <(best_times "orvo_run --load $WORK/$w.z80 --frames $FRAMES" \
    "$(fuse_cmd "$FRAMES" --machine 48 --snapshot "$WORK/$w.z80")")
  row "$w" "$FRAMES" "$o" "$f"
done
if wants rzx; then
  read -r o f < <(best_times "orvo_run --rzx $MEDIA/rzx/exolon.rzx --frames $RZX_FRAMES" \
    "$(fuse_cmd "$RZX_FRAMES" --machine 48 --playback "$MEDIA/rzx/exolon.rzx")")
  row rzx "$RZX_FRAMES" "$o" "$f"
fi
if wants wav; then
  read -r quiet o < <(best_times "orvo_run --load $WORK/busy.z80 --frames $FRAMES" \
    "orvo_run --load $WORK/busy.z80 --frames $FRAMES --wav $WORK/busy.wav")
  row wav "$FRAMES" "$o" - "$(share "$quiet" "$o")"
fi
if wants tape || wants fastload; then
  tape_cmd=-
  fast_cmd=-
  wants tape && tape_cmd="orvo_run --tape $TAPE --autoload --frames $FRAMES"
  wants fastload && fast_cmd="orvo_run --tape $TAPE --autoload --fastload --frames $FRAMES"
  read -r t fl f < <(best_times "$tape_cmd" "$fast_cmd" "$(fuse_cmd "$FRAMES" --machine 48 \
    --auto-load --no-traps --no-fastload --no-accelerate-loader --tape "$TAPE")")
  wants tape && row tape "$FRAMES" "$t" "$f"
  wants fastload && row fastload "$FRAMES" "$fl" "$f"
fi
if wants disk; then
  cp "$DISK" "$WORK/disk.dsk"  # the run writes the disk back
  read -r idle3 o < <(best_times "orvo_run --model plus3 --frames $FRAMES" \
    "orvo_run --model plus3 --disk-autoload --disk-fastload --disk-a $WORK/disk.dsk --frames $FRAMES")
  row disk "$FRAMES" "$o" - "$(share "$idle3" "$o")"
fi
[ -n "$FUSE" ] || echo "(fuse-sdl is not installed: apt-get install fuse-emulator-sdl)"
echo "orvo x: times real time; ratio: Fuse's processor time over Orvo's (higher: Orvo faster);"
echo "*: no Fuse equivalent: Orvo's quiet run (busy for wav, the +3 at its menu for disk) over this one"
