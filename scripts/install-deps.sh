#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample run need
# (clang and its run-time library with libFuzzer: for the fuzz targets),
# only when some are missing. Uses sudo when not root.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsqlite3-dev sqlite3 nlohmann-json3-dev libcli11-dev libfmt-dev
  postgresql postgresql-client libpq-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
  poppler-utils xvfb xauth openbox xdotool
  fonts-liberation xdg-utils
  clang libclang-rt-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
