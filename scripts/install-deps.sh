#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need; does nothing when all are present.
# With --fuzz also what the fuzz targets need (clang and its libFuzzer runtime), for `make fuzz`.
set -euo pipefail
PKGS=(
  build-essential cmake pkg-config make git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools qt6-qpa-plugins
  libqscintilla2-qt6-dev libgl-dev
  libxml2-dev libxslt1-dev libcurl4-openssl-dev libsqlite3-dev libcpp-httplib-dev libmicrohttpd-dev libgnutls28-dev
  openssl ca-certificates
  xvfb xauth
  libxml2-utils poppler-utils
  xsltproc docbook-xsl docbook5-xml docbook-xml
  dpkg-dev file
)
if [ "${1:-}" = "--fuzz" ]; then
  PKGS+=(clang libclang-rt-dev)
fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
