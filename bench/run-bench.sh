#!/usr/bin/env bash
# Runs every benchmark program built under <build folder>/bench (./run bench
# calls it); further arguments go to each program, e.g. --benchmark_filter=Go.
set -euo pipefail
BUILD=${1:?usage: run-bench.sh <build folder> [benchmark options]}
shift
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
status=0
found=0
for program in "$BUILD"/bench/bench_* "$BUILD"/bench/*/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program" "$@" || status=1
done
if [ "$found" -eq 0 ]; then
  echo "No benchmark programs under $BUILD/bench; build with -DLARKHILL_WITH_BENCH=ON." >&2
  exit 1
fi
exit $status
