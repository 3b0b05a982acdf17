#!/usr/bin/env bash
# Starts ostreld with the demo data, then the workbench; stops the server when the workbench
# ends. With --tls the server speaks HTTPS, with a certificate from a private authority made
# for the demo (kept in the demo's data folder, made anew when missing or about to expire).
# Usage: scripts/run-demo.sh [--port N] [--tls] [build folder]   (the port also from OSTREL_DEMO_PORT)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
port=${OSTREL_DEMO_PORT:-8790}
build=$top/build
tls=
while [ $# -gt 0 ]; do
    case "$1" in
        --port) port=${2:-}; shift 2 || shift ;;
        --port=*) port=${1#--port=}; shift ;;
        --tls) tls=1; shift ;;
        -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) build=$1; shift ;;
    esac
done
case "$build" in /*) ;; *) build=$top/$build ;; esac
if ! [[ "$port" =~ ^[0-9]+$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
    echo "The port must be a number from 1 to 65535, not '$port'." >&2
    exit 2
fi
bin=$build/bin
for exe in ostreld OstrelClient; do
    [ -x "$bin/$exe" ] || { echo "No $bin/$exe: build first (make build)." >&2; exit 2; }
done
data_dir=${XDG_DATA_HOME:-$HOME/.local/share}/ostreld
mkdir -p "$data_dir"
server_log=$(mktemp)

scheme=http
tls_args=()
if [ -n "$tls" ]; then
    pki=$data_dir/demo-tls
    # A day's margin, so that a certificate never runs out during a demo.
    if ! openssl x509 -checkend 86400 -noout -in "$pki/server.pem" >/dev/null 2>&1; then
        rm -rf "$pki"
        bash "$top/scripts/make-tls-files.sh" "$pki" 365 || { echo "Could not make the demo certificates." >&2; exit 1; }
    fi
    scheme=https
    tls_args=(--tls-cert "$pki/server.pem" --tls-key "$pki/server.key")
fi

"$bin/ostreld" --port "$port" --db mydb --data "$data_dir/demo.sqlite" \
    --users demo:demo --seed "$top/ostreld/demo" "${tls_args[@]}" >"$server_log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true; rm -f "$server_log"' EXIT

# Wait until the server listens (at most 15 s), or tell why it did not.
for _ in $(seq 1 150); do
    grep -q "^ostreld listening on port" "$server_log" && break
    if ! kill -0 $server 2>/dev/null; then
        if grep -q "cannot listen" "$server_log"; then
            next=$((port == 65535 ? 8791 : port + 1))
            echo "Port $port is taken: another program listens there (an earlier 'make run' still open?)." >&2
            echo "Pick another port:  make run PORT=$next   (or: scripts/run-demo.sh --port $next," >&2
            echo "or OSTREL_DEMO_PORT=$next)." >&2
        else
            echo "ostreld did not start:" >&2
            cat "$server_log" >&2
        fi
        exit 1
    fi
    sleep 0.1
done
grep -q "^ostreld listening on port" "$server_log" || { echo "ostreld did not answer within 15 s." >&2; exit 1; }

uri=$scheme://localhost:$port/ostrel/mydb
cat <<TEXT

  Ostrel Workbench demo
    Database URI:  $uri
    User name:     demo
    Password:      demo
TEXT
if [ -n "$tls" ]; then
    cat <<TEXT
    Certificate authority file:  $pki/ca.pem
      (in the login dialog: Certificate authority..., then this file; owb: --cacert FILE)
TEXT
fi
cat <<TEXT

  The Navigate window shows this URI first (for this run only): press Load and log in with
  the user name and password above. Closing the workbench stops the demo server.

TEXT
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found; running under Xvfb." >&2
    xvfb-run -a "$bin/OstrelClient" --database-uri "$uri"
else
    "$bin/OstrelClient" --database-uri "$uri"
fi
