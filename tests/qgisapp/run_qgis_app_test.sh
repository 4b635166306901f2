#!/usr/bin/env bash
# The parcel search in the real QGIS application, under a virtual X server.
#
#   run_qgis_app_test.sh <plugin-folder> <output-folder>
#   run_qgis_app_test.sh --installed <output-folder>
#
# QGIS starts with a fresh profile that enables the plugin from
# <plugin-folder>, or, with --installed, the plugin installed in QGIS's own
# plugin folder with no plugin path set, on a project with 500 parcels.
# drive_search.py presses the button and goes through configuration, listing,
# "Go" and the zoom, and QGIS's locator bar ("pid" and the start of an ID,
# Enter); then the canvas extent and the configuration file are checked; then
# "?" is pressed, the plugin is unticked in the Plugin Manager
# with its windows open (nothing of it may remain), ticked again and searched
# with once more. With LARKHILL_TICK=1 the plugin is first ticked in the
# Plugin Manager instead of in the profile. The screenshot is
# <output-folder>/qgis-parcel-search.png, the toolbar alone qgis-toolbar.png,
# the run's notes result.json and qgis.log beside it. With LARKHILL_QGISAPP_PG
# set to a libpq conninfo, "Parcels" is a PostGIS table on that server with the
# index that serves the search list, and the threshold is lowered below its
# 500 rows, so that the list is served from the server's index.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
TICK=${LARKHILL_TICK:-0}
if [ "${1:?plugin folder or --installed}" = --installed ]; then
  PLUGINS=""
else
  PLUGINS=$(cd "$1" && pwd)
fi
OUT=${2:?output folder}
COUNT=500
PREFIX=000-042
PY=/usr/bin/python3
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
rm -f "$OUT/result.json" "$OUT/qgis-parcel-search.png" "$OUT/qgis-toolbar.png"

WORK=$(mktemp -d /tmp/larkhill-qgisapp.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

PG=${LARKHILL_QGISAPP_PG:-}
QT_QPA_PLATFORM=offscreen "$PY" "$HERE/make_project.py" "$WORK/project" "$COUNT" ${PG:+"$PG"} 2>"$WORK/make_project.log" || {
  cat "$WORK/make_project.log" >&2
  exit 1
}

PROFILE=$WORK/profiles/default/QGIS
mkdir -p "$PROFILE"
# The plugin is ticked here, as the Plugin Manager records it, unless the
# driver is to tick it in the Plugin Manager itself.
{
  [ "$TICK" = 1 ] || printf '[Plugins]\nliblarkhillparcelsearchplugin=true\n\n'
  if [ -n "$PLUGINS" ] || [ -n "$PG" ]; then
    printf '[plugins]\n'
    [ -z "$PLUGINS" ] || printf 'searchPathsForPlugins=%s\n' "$PLUGINS"
    [ -z "$PG" ] || printf 'LarkhillGIS\\searchList\\serverRows=100\n'
    printf '\n'
  fi
  printf '[qgis]\ncheckVersion=false\nshowTips=false\n'
} >"$PROFILE/QGIS3.ini"

export LARKHILL_RESULT=$OUT/result.json LARKHILL_SHOT=$OUT/qgis-parcel-search.png LARKHILL_PREFIX=$PREFIX
export LARKHILL_TOOLBAR_SHOT=$OUT/qgis-toolbar.png
export LARKHILL_TIMEOUT=150 LARKHILL_TICK=$TICK LARKHILL_QGISAPP_PG=$PG
set +e
timeout -k 10 200 xvfb-run -a -s "-screen 0 1400x1000x24" \
  qgis --profiles-path "$WORK" --nologo --noversioncheck \
  --code "$HERE/drive_search.py" "$WORK/project/parcels.qgs" >"$OUT/qgis.log" 2>&1
status=$?
set -e
echo "QGIS ended with status $status"
if [ ! -f "$OUT/result.json" ]; then
  echo "FAIL: QGIS ended before the scripted search wrote its notes; last lines of its log:"
  tail -30 "$OUT/qgis.log"
  exit 1
fi
cat "$OUT/result.json" | "$PY" -c 'import json,sys; print("\n".join(json.load(sys.stdin)["steps"]))'
"$PY" "$HERE/check_result.py" "$OUT/result.json" "$XDG_DATA_HOME/LarkhillGIS/LarkhillParcelSearch/config" "$COUNT" "$PREFIX" \
  $([ "$TICK" = 1 ] && echo --ticked) $([ -n "$PG" ] && echo --served)
if [ "$status" -ne 0 ]; then
  echo "FAIL: QGIS ended with status $status (it must unload the plugin and quit cleanly)"
  exit 1
fi
echo "ok: QGIS unloaded the plugin and quit with status 0"
echo "Screenshots: $OUT/qgis-parcel-search.png, $OUT/qgis-toolbar.png"
