#!/usr/bin/env bash
# Starts ostreld with the demo data on port 8790, then the workbench; stops the server when
# the workbench ends.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
case "$build" in /*) ;; *) build=$top/$build ;; esac
bin=$build/bin
port=${OSTREL_DEMO_PORT:-8790}
data_dir=${XDG_DATA_HOME:-$HOME/.local/share}/ostreld
mkdir -p "$data_dir"

"$bin/ostreld" --port "$port" --db mydb --data "$data_dir/demo.sqlite" \
    --users demo:demo --seed "$top/ostreld/demo" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT

# Wait until the server answers (at most 15 s).
for _ in $(seq 1 150); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/ostrel/mydb/osl:collection?_xql=x" 2>/dev/null; then break; fi
    kill -0 $server 2>/dev/null || { echo "ostreld did not start" >&2; exit 1; }
    sleep 0.1
done

echo "Demo database: http://localhost:$port/ostrel/mydb  (user demo, password demo)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found; running under Xvfb." >&2
    xvfb-run -a "$bin/OstrelClient"
else
    "$bin/OstrelClient"
fi
