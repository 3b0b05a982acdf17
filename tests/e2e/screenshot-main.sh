#!/usr/bin/env bash
# Starts the real OstrelClient on a virtual X display, takes a screenshot of the screen after
# start-up and checks that the program is still running then.
# Usage: tests/e2e/screenshot-main.sh [build folder]   -> <build>/screenshots/OstrelClient.png
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
case "$build" in /*) ;; *) build=$top/$build ;; esac
exe=$build/bin/OstrelClient
[ -x "$exe" ] || { echo "no $exe: build the OstrelClient target first" >&2; exit 2; }
out=$build/screenshots
mkdir -p "$out"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  exe=$1 out=$2 home=$3
  export QT_QPA_PLATFORM=xcb OSTREL_WORKBENCH_HOME=$home XDG_CONFIG_HOME=$home/config
  "$exe" & pid=$!
  sleep 4
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"; echo "OstrelClient ended during start-up (status $?)" >&2; exit 1
  fi
  import -window root "$out/OstrelClient.png"
  kill "$pid"; wait "$pid" 2>/dev/null || true
  [ -d "$home/log" ] || { echo "no log folder was created below $home" >&2; exit 1; }
' _ "$exe" "$out" "$home"
echo "screenshot: $out/OstrelClient.png"
