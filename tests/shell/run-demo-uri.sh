#!/usr/bin/env bash
# make run's script hands the workbench the demo server's URI: runs scripts/run-demo.sh with
# the real ostreld and a stand-in OstrelClient that records its arguments.
# Usage: tests/shell/run-demo-uri.sh OSTRELD_EXE
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
ostreld=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/bin"
ln -s "$ostreld" "$work/build/bin/ostreld"
cat >"$work/build/bin/OstrelClient" <<'STUB'
#!/bin/sh
printf '%s\n' "$@" >"$RUN_DEMO_ARGS"
STUB
chmod +x "$work/build/bin/OstrelClient"
export RUN_DEMO_ARGS=$work/args XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=offscreen

# A port someone else holds makes the script stop with its message; try another.
for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    rm -f "$RUN_DEMO_ARGS"
    if bash "$top/scripts/run-demo.sh" --port "$port" "$work/build" >"$work/out" 2>&1; then
        break
    fi
    grep -q "is taken" "$work/out" || { cat "$work/out" >&2; exit 1; }
done
[ -f "$RUN_DEMO_ARGS" ] || { echo "the workbench was not started" >&2; cat "$work/out" >&2; exit 1; }
expected=$(printf '%s\n' --database-uri "http://localhost:$port/ostrel/mydb")
if [ "$(cat "$RUN_DEMO_ARGS")" != "$expected" ]; then
    echo "the workbench got: $(tr '\n' ' ' <"$RUN_DEMO_ARGS"), expected: $(echo $expected)" >&2
    exit 1
fi
grep -q "Database URI:  http://localhost:$port/ostrel/mydb" "$work/out" || { cat "$work/out" >&2; exit 1; }
echo "OstrelClient $(echo $expected)"
