#!/usr/bin/env bash
# The press to a usable list where the user meets it, in one command: section
# (h) of the county benchmark under a virtual X server. It starts the map
# application, and QGIS with the plugin when QGIS is installed, on 1M and 3M
# GeoPackage parcels (made once, in <build>/county-data, as run-county.sh makes
# them), presses the button as soon as the window is up and types a letter;
# each run is set against the list's own read and sort in the benchmark's
# process, the two in turn. Writes the table to bench/results/press.md, with
# the command that made it above it.
#
#   bench/run-press.sh <build folder> [--sizes 1000000,3000000] [--reps 7]
set -euo pipefail
COMMAND="$0 $*"
BUILD=${1:?usage: run-press.sh <build folder> [--sizes a,b] [--reps n]}
shift
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$BUILD" && pwd)
SIZES=1000000,3000000
REPS=7
while [ $# -gt 0 ]; do
  case "$1" in
    --sizes) SIZES=$2; shift ;;
    --reps) REPS=$2; shift ;;
    *) echo "run-press: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

for program in county-data county-bench; do
  if [ ! -x "$BUILD/bench/county/$program" ]; then
    echo "run-press: $BUILD/bench/county/$program is not built (it needs the QGIS host)" >&2
    exit 1
  fi
done
DATA=$BUILD/county-data
mkdir -p "$DATA"
for size in ${SIZES//,/ }; do
  if [ ! -f "$DATA/parcels-$size.gpkg" ]; then
    echo "Making $size parcels..."
    "$BUILD/bench/county/county-data" "$DATA" "$size"
  fi
done

OUT=$ROOT/bench/results/press.md
mkdir -p "$ROOT/bench/results"
MACHINE="$(nproc) cores, $(uname -sr), load $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Machine: $MACHINE"
# The applications draw on the virtual X server, as they would on a desktop.
xvfb-run -a -s "-screen 0 1600x1000x24" env -u QT_QPA_PLATFORM \
  "$BUILD/bench/county/county-bench" --data "$DATA" --sizes "$SIZES" --reps "$REPS" --only h \
  --out "$OUT.part"
{
  echo "Made by \`$COMMAND\` ($MACHINE at the start)."
  echo
  cat "$OUT.part"
  echo
  echo "Ours: from the press on the button (the map still drawing, as the window has just"
  echo "opened) to a letter typed into the search box showing there, timed by the application"
  echo "itself (a \`time\` step of the map application's script; qgis_press.py in QGIS); its"
  echo "processor time is that of every thread of the application. The baseline: the list's"
  echo "own read and sort (two threads) in the benchmark's process, where no map draws. Medians"
  echo "of $REPS runs each, run in turn, the first of the two changing with each run; the"
  echo "entries of the application's list are compared with the baseline's on every run."
} >"$OUT"
rm -f "$OUT.part"
echo "Written to bench/results/press.md"
