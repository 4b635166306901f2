#!/usr/bin/env bash
# Inside the clean system of one Debian release (packaging/release.sh runs
# it): builds the package from /build/src with that release's QGIS and runs
# the package test on it. Every check prints "ok: ..." or "FAIL: ..."; the
# last line counts them, "N passed, N failed", and the status is 0 only when
# none failed.
#
#   release-check.sh [jobs]
set -uo pipefail
JOBS=${1:-2}
SRC=/build/src
OUT=/build/out
BUILD=$OUT/build
passed=0
failed=0
check() { # ok|fail, what
  if [ "$1" = ok ]; then
    echo "ok: $2"
    passed=$((passed + 1))
  else
    echo "FAIL: $2"
    failed=$((failed + 1))
  fi
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

mkdir -p "$OUT"
rm -rf "$OUT"/*.deb "$OUT/package-test"
qgis_version=$(dpkg-query -W -f='${Version}' qgis)
echo "== build with QGIS $qgis_version on Debian $(cat /etc/debian_version)"
if cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DLARKHILL_WITH_TESTS=OFF \
  -DLARKHILL_WITH_BENCH=OFF -DLARKHILL_WITH_ARTWORK=OFF >"$OUT/build.log" 2>&1 &&
  cmake --build "$BUILD" -j"$JOBS" >>"$OUT/build.log" 2>&1 &&
  (cd "$BUILD" && rm -f ./*.deb && cpack -G DEB) >>"$OUT/build.log" 2>&1; then
  check ok "the plugin, the map application and the package build"
else
  tail -40 "$OUT/build.log"
  check fail "the plugin, the map application and the package build (log: build-release/*/build.log)"
  finish
fi
cp "$BUILD"/*.deb "$OUT"/
DEB=$(ls "$OUT"/*.deb)
echo "Package: $(basename "$DEB")"
# The package is for the QGIS series it was built with, and says so.
series=$(echo "$qgis_version" | cut -d. -f1-2)
depends=$(dpkg-deb -f "$DEB" Depends)
if grep -q "qgis (>= $series)" <<<"$depends"; then
  check ok "the package depends on QGIS $series"
else
  check fail "the package depends on QGIS $series (Depends: $depends)"
fi

echo "== package test"
"$SRC/tests/package/run_package_test.sh" "$DEB" "$OUT/package-test" 2>&1 | tee "$OUT/package-test.log"
status=${PIPESTATUS[0]}
passed=$((passed + $(grep -c '^ok: ' "$OUT/package-test.log")))
failed=$((failed + $(grep -c '^FAIL: ' "$OUT/package-test.log")))
if [ "$status" -ne 0 ] && ! grep -q '^FAIL: ' "$OUT/package-test.log"; then
  check fail "the package test ended with status $status"
fi
finish
