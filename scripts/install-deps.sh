#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Pagewick needs.
# Idempotent and quiet; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git
  clang libclang-rt-14-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # Qt: Core in the libraries; Widgets, WebEngine and QScintilla in the UI
  qt6-base-dev qt6-webengine-dev libqscintilla2-qt6-dev
  # HTTP server of `pagewick-cli serve`
  qt6-httpserver-dev qt6-websockets-dev  # its CMake package requires the WebSockets one
  # script engine
  libjavascriptcoregtk-4.1-dev
  # XML, zip, crypto, network, code pages
  libxml2-dev libzip-dev zlib1g-dev nettle-dev libcurl4-openssl-dev libicu-dev
  # real peers and display for tests
  python3 python3-pyftpdlib xvfb xauth zip unzip
  # an independent reader of the feeds the feed object saves
  python3-feedparser
  # the desktop application's icons outside a desktop session
  adwaita-icon-theme
  # publishing tests: FTPS through pyftpdlib's TLS handler, SFTP through a throwaway sshd
  python3-openssl openssl openssh-server openssh-client
  # benchmark peers
  libmd4c-dev libmd4c-html0-dev libcmark-dev hugo lftp
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
