#!/usr/bin/env bash
# Runs every benchmark built under <build>/bin (names bench_*), one after the other.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
case "$build" in /*) ;; *) build=$top/$build ;; esac
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export OSTRELD_EXE=$build/bin/ostreld OSTRELD_DEMO=$top/ostreld/demo
status=0
for b in "$build"/bin/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" || status=1
done
exit $status
