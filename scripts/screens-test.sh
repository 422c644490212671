#!/usr/bin/env bash
# The desktop's screen tests on a real display with a window manager: the
# operator's keyboard round, run in Xvfb
# with openbox, so that window placement, focus and the boxes are the ones
# an operator meets. The pictures they take are kept in
# BUILD_DIR/screens for a person to look at.
#
# Usage: scripts/screens-test.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
shots="$build/screens"
rm -rf "$shots"
mkdir -p "$shots"

xvfb-run -a -s '-screen 0 1280x1024x24 -nolisten tcp' bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 2
  cd "$0/DataEntry/Main/tests"
  status=0
  env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb TARNBY_SOURCE_DIR="$0" TARNBY_BIN_DIR="$1/bin" \
    TARNBY_SCREENSHOT_DIR="$2" "$1/bin/tarnby_main_tests" \
    --gtest_filter="OperatorScreens.*" || status=$?
  kill "$wm" 2>/dev/null || true
  exit "$status"
' "$src" "$build" "$shots"

count=$(find "$shots" -name '*.png' | wc -l)
[ "$count" -gt 0 ] || { echo "screens-test: no pictures were taken" >&2; exit 1; }
echo "screens-test: $count pictures in $shots"
