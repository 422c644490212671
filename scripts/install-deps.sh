#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample run need
# (clang and its run-time library with libFuzzer: for the fuzz targets;
# python3-html5lib: the check that the HTML report is valid; firefox-esr:
# pictures of the HTML report as a browser shows it; lintian and openbox: for
# the Debian package stage; x11-utils and imagemagick: the window checks and
# pictures of scripts/operator-round.sh), only when some are missing. Uses sudo
# when not root.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsqlite3-dev sqlite3 nlohmann-json3-dev libcli11-dev libfmt-dev
  postgresql postgresql-client libpq-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
  poppler-utils xvfb xauth openbox xdotool x11-utils imagemagick
  file lintian
  fonts-liberation xdg-utils
  python3-html5lib firefox-esr
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
