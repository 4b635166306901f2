#!/usr/bin/env bash
# Starts the map application: tools/start-app.sh BUILDDIR [FILES...]
# Makes the sample town in ./sample/ when it is missing, then opens the files
# given (or the sample). Without a display it says so and runs the example
# script offscreen instead, saving screenshots into ./sample/screenshots/.
# "--script FILE [--screenshot DIR]" among the arguments runs that script.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:?usage: tools/start-app.sh BUILDDIR [FILES...]}
shift
APP="$BUILD/hosts/qgis/larkhill-map"
GENERATOR="$BUILD/tools/larkhill-sample"

if [ ! -f "$ROOT/sample/town.qgs" ]; then
  echo "Making the sample town in $ROOT/sample/ ..."
  "$GENERATOR" "$ROOT/sample"
fi

args=("$@")
scripted=no
for a in "${args[@]}"; do
  [ "$a" = "--script" ] && scripted=yes
done
has_files=no
for a in "${args[@]}"; do
  case "$a" in --*) ;; *) has_files=yes ;; esac
done
[ "$has_files" = yes ] || args+=("$ROOT/sample/town.qgs")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$scripted" = no ]; then
  echo "There is no display here (DISPLAY is not set), so the map window cannot open."
  echo "Running the example search offscreen instead; screenshots go to $ROOT/sample/screenshots/."
  echo
  exec env QT_QPA_PLATFORM=offscreen "$APP" --script "$ROOT/examples/search.script" \
    --screenshot "$ROOT/sample/screenshots" "${args[@]}"
fi
exec "$APP" "${args[@]}"
