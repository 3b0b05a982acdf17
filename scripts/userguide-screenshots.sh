#!/usr/bin/env bash
# Takes the user guide's screenshots from the running workbench on the demo data, under Xvfb,
# into data/documentation/images. Rerun it whenever the windows change.
# Usage: scripts/userguide-screenshots.sh [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
case "$build" in /*) ;; *) build=$top/$build ;; esac
[ -f "$build/CMakeCache.txt" ] || cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target shot_userguide ostreld -j "$(nproc)"

port=${OSTREL_DEMO_PORT:-8790}
work=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The demo server on its usual port, so the pictures show the address the guide names; a
# private one on a free port when that port is taken.
database=
if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    "$build/bin/ostreld" --port "$port" --db mydb --data "$work/demo.sqlite" \
        --users demo:demo --seed "$top/ostreld/demo" > "$work/ostreld.out" 2>&1 &
    server=$!
    for _ in $(seq 1 100); do
        grep -q "listening on port" "$work/ostreld.out" 2>/dev/null && break
        kill -0 "$server" 2>/dev/null || { cat "$work/ostreld.out" >&2; exit 1; }
        sleep 0.1
    done
    database=http://localhost:$port/ostrel/mydb
fi

out=$top/data/documentation/images
mkdir -p "$out"
OWB_SHOT_DATABASE=$database OSTRELD_EXE=$build/bin/ostreld OSTRELD_DEMO=$top/ostreld/demo \
QT_QPA_PLATFORM=xcb QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/shot_userguide" "$out"
echo "screenshots in $out"
