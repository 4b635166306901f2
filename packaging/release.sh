#!/usr/bin/env bash
# The Debian package for one Debian release, built and checked in a clean
# system of that release (./run release runs this):
#
#   packaging/release.sh CODENAME                  build the package, run the package test
#   packaging/release.sh CODENAME bench county --quick
#                                                  build the benchmarks there and run one
#
# CODENAME is bookworm (QGIS 3.22), trixie (QGIS 3.40) or sid (QGIS 3.44).
# The system is made once with mmdebstrap from the Debian archive
# (LARKHILL_RELEASE_MIRROR, http://deb.debian.org/debian unless set) in
# LARKHILL_RELEASE_ROOT/CODENAME (/var/tmp/larkhill-release/CODENAME unless
# set) and reused after; LARKHILL_RELEASE_PACKAGES names the packages it holds
# (./run passes them). The tree as it is (the files git knows, with their
# changes) is copied into the system and built there, so nothing the build
# makes lands in the tree; the package, its test's output and the log go to
# build-release/CODENAME. The package test is tests/package/run_package_test.sh
# (lintian, install, QGIS with the installed plugin, removal). The last line
# counts the checks: "N passed, N failed". Needs root (sudo otherwise).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ARGS=("$@")
CODENAME=${1:-}
case "$CODENAME" in
  bookworm | trixie | sid) shift ;;
  *)
    echo "usage: ./run release bookworm|trixie|sid [bench county --quick]" >&2
    exit 2
    ;;
esac
MODE=package
if [ "${1:-}" = bench ] && [ "${2:-}" = county ]; then
  MODE=bench
  shift 2
elif [ $# -gt 0 ]; then
  echo "release: unknown argument $1 (only \"bench county [options]\" may follow)" >&2
  exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
  exec sudo env "LARKHILL_RELEASE_PACKAGES=${LARKHILL_RELEASE_PACKAGES:-}" \
    "LARKHILL_RELEASE_ROOT=${LARKHILL_RELEASE_ROOT:-}" "LARKHILL_RELEASE_MIRROR=${LARKHILL_RELEASE_MIRROR:-}" \
    "$0" "${ARGS[@]}"
fi
read -r -a PACKAGES <<<"${LARKHILL_RELEASE_PACKAGES:?the packages the system holds}"
MIRROR=${LARKHILL_RELEASE_MIRROR:-http://deb.debian.org/debian}
BASE=${LARKHILL_RELEASE_ROOT:-/var/tmp/larkhill-release}
SYSTEM=$BASE/$CODENAME
STAMP=$SYSTEM/etc/larkhill-release
OUT=$ROOT/build-release/$CODENAME
JOBS=$(nproc 2>/dev/null || echo 2)

# in_system <command...>: runs the command as root in the system, with /proc,
# /sys, /dev and a fresh /tmp mounted in a mount namespace of its own, so the
# mounts end with the command whatever way it ends.
in_system() {
  unshare --mount --propagation private --fork -- bash -c '
    set -e
    system=$1
    shift
    mount -t proc proc "$system/proc"
    mount -t sysfs sysfs "$system/sys"
    mount --rbind /dev "$system/dev"
    mount -t tmpfs tmpfs "$system/tmp"
    exec chroot "$system" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"' bash "$SYSTEM" "$@"
}

make_system() {
  if [ -f "$STAMP" ]; then
    echo "Using the $CODENAME system in $SYSTEM (made $(cat "$STAMP"))"
    return
  fi
  echo "Making a clean $CODENAME system in $SYSTEM with mmdebstrap (a few minutes)..."
  rm -rf "$SYSTEM.part"
  local include
  include=$(IFS=,; echo "${PACKAGES[*]}")
  # The option stays in the system's apt configuration: the archive may serve
  # unstable's Release file after its short Valid-Until date; its signature
  # is checked all the same.
  mmdebstrap --quiet --mode=root --variant=apt --include="$include" \
    --aptopt='Acquire::Check-Valid-Until "false"' \
    "$CODENAME" "$SYSTEM.part" "$MIRROR" >"$BASE/mmdebstrap-$CODENAME.log" 2>&1 || {
    tail -20 "$BASE/mmdebstrap-$CODENAME.log" >&2
    rm -rf "$SYSTEM.part"
    echo "release: making the $CODENAME system failed (log: $BASE/mmdebstrap-$CODENAME.log)" >&2
    exit 1
  }
  date -u '+%Y-%m-%d %H:%M UTC' >"$SYSTEM.part/etc/larkhill-release"
  rm -rf "$SYSTEM"
  mv "$SYSTEM.part" "$SYSTEM"
}

# install_in_system <package...>: installs into the system those of the
# packages it lacks (a list that grew since the system was made, the
# benchmark's own).
install_in_system() {
  in_system bash -c '
    missing=()
    for p in "$@"; do
      dpkg-query -W -f="\${Status}" "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && exit 0
    echo "Installing in the system: ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  ' bash "$@"
}

# The files git knows in the tree, as they are now.
copy_tree() {
  rm -rf "$SYSTEM/build/src"
  mkdir -p "$SYSTEM/build/src"
  git -c safe.directory="$ROOT" -C "$ROOT" ls-files -z --cached --others --exclude-standard |
    (cd "$ROOT" && tar --null --files-from=- --ignore-failed-read -cf -) |
    tar -xf - -C "$SYSTEM/build/src"
}

give_back() {
  # The outputs belong to whoever ran ./run, also under sudo.
  if [ -n "${SUDO_UID:-}" ]; then chown -R "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$ROOT/build-release"; fi
}

command -v mmdebstrap >/dev/null || {
  echo "release: mmdebstrap is missing (./run release installs it)" >&2
  exit 1
}
mkdir -p "$BASE"
# One run at a time in a system: a second would copy its tree over the first's.
exec 9>"$BASE/$CODENAME.lock"
flock -n 9 || {
  echo "release: another ./run release $CODENAME is running" >&2
  exit 1
}
make_system
install_in_system "${PACKAGES[@]}"
copy_tree
mkdir -p "$OUT"
trap give_back EXIT

if [ "$MODE" = bench ]; then
  install_in_system libbenchmark-dev gdal-bin
  in_system bash -c '
    set -e
    cmake -S /build/src -B /build/bench-build -DCMAKE_BUILD_TYPE=Release -DLARKHILL_WITH_TESTS=OFF \
      -DLARKHILL_WITH_ARTWORK=OFF >/dev/null
    cmake --build /build/bench-build -j"$0" --target county-data county-bench >/dev/null
    exec /build/src/bench/run-county.sh /build/bench-build "$@"' "$JOBS" "$@" | tee "$OUT/bench.log"
  exit "${PIPESTATUS[0]}"
fi

rm -rf "${OUT:?}"/*
set +e
in_system /build/src/packaging/release-check.sh "$JOBS" 2>&1 | tee "$OUT/release.log"
status=${PIPESTATUS[0]}
set -e
cp -a "$SYSTEM"/build/out/*.deb "$SYSTEM"/build/out/*.log "$SYSTEM/build/out/package-test" "$OUT"/ 2>/dev/null || true
exit "$status"
