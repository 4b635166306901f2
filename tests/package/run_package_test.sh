#!/usr/bin/env bash
# The Debian package as a user meets it.
#
#   run_package_test.sh <package.deb> <output-folder>
#
# Lintian must find no error in the package. The package is installed with
# apt; the plugin must sit in QGIS's plugin folder. The real-QGIS test then
# runs against the installed plugin with a fresh profile that sets no plugin
# path; it ticks the plugin in QGIS's Plugin Manager, as a user does, and
# unticks it there at the end. The map application must answer --help
# without a display. Last the package is removed, and nothing it installed
# may remain. Installing and removing packages takes root (sudo when not run
# as root).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
DEB=$(realpath "${1:?package file}")
OUT=${2:?output folder}
NAME=$(dpkg-deb -f "$DEB" Package)
PLUGIN=/usr/lib/qgis/plugins/liblarkhillparcelsearchplugin.so
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
mkdir -p "$OUT"
failures=0
expect() { # what, command...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

echo "== lintian"
lintian --fail-on error "$DEB"
echo "ok: lintian finds no error"

echo "== install"
if dpkg-query -W -f='${Status}' "$NAME" 2>/dev/null | grep -q "install ok installed"; then
  echo "FAIL: $NAME is installed already; remove it first" >&2
  exit 1
fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$DEB" >"$OUT/apt-install.log"
removed=no
remove() {
  [ "$removed" = yes ] && return
  removed=yes
  echo "== remove"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "$NAME" >"$OUT/apt-remove.log"
}
trap remove EXIT
installed_files=$(dpkg-query -L "$NAME")
expect "the plugin is in QGIS's plugin folder" grep -qx "$PLUGIN" <<<"$installed_files"
expect "the component library is not in QGIS's plugin folder" \
  bash -c "! ls /usr/lib/qgis/plugins | grep -qi larkhillparcelsearch.so"
expect "the plugin finds the component library" bash -c "! ldd $PLUGIN | grep -q 'not found'"
expect "the map application answers --help without a display" \
  bash -c "env -u DISPLAY -u WAYLAND_DISPLAY larkhill-map --help | grep -q -- --script"
expect "the map application's version is the package's" \
  bash -c "larkhill-map --version | grep -qx \"larkhill-map $(dpkg-deb -f "$DEB" Version | cut -d- -f1)\""
expect "the desktop entry starts the map application" \
  grep -qx "Exec=larkhill-map %F" /usr/share/applications/larkhill-map.desktop
# The plugin and the component library live in QGIS's process: every name they
# show other libraries is in their own namespaces, or one of the C entry points
# that QGIS's plugin loader and the component's object creation look up.
foreign_names() {
  nm -DC --defined-only "$PLUGIN" /usr/lib/*/larkhill-parcel-search/libLarkhillParcelSearch.so |
    awk 'NF >= 3 { $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
    grep -Ev '^((typeinfo( name)?|vtable|VTT|construction vtable|(non-)?virtual thunk|guard variable) (for|to) )?Larkhill(Qgis)?::' |
    grep -Evx 'classFactory|name|description|category|type|version|icon|unload|LarkhillCreateObject|DllRegisterServer|DllUnregisterServer' |
    grep -v '^$' || true
}
foreign=$(foreign_names)
expect "the plugin and the component library show only their own names" test -z "$foreign"
[ -z "$foreign" ] || head -20 <<<"$foreign"

echo "== QGIS with the installed plugin"
LARKHILL_TICK=1 "$HERE/../qgisapp/run_qgis_app_test.sh" --installed "$OUT" || failures=$((failures + 1))

remove
leftovers=()
while IFS= read -r path; do
  [ -f "$path" ] || [ -L "$path" ] && leftovers+=("$path")
done <<<"$installed_files"
for path in /usr/lib/qgis/plugins/liblarkhillparcelsearchplugin.so /usr/lib/*/larkhill-parcel-search /usr/bin/larkhill-map; do
  [ -e "$path" ] && leftovers+=("$path")
done
expect "the package is gone" bash -c "! dpkg-query -W -f='\${Status}' $NAME 2>/dev/null | grep -q installed"
if [ ${#leftovers[@]} -eq 0 ]; then
  echo "ok: nothing of the package remains"
else
  echo "FAIL: left behind: ${leftovers[*]}"
  failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "The package installs, runs in QGIS and removes cleanly."
