#!/usr/bin/env bash
# Renders the PNG sizes of the desktop icon from its SVG. Run after changing the SVG and commit
# the PNGs (needs rsvg-convert: apt-get install librsvg2-bin).
set -euo pipefail
dir=$(cd "$(dirname "$0")/../packaging/icons" && pwd)
command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found: apt-get install librsvg2-bin" >&2; exit 2; }
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$dir/ostrel-workbench.svg" -o "$dir/ostrel-workbench-$size.png"
done
