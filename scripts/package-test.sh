#!/usr/bin/env bash
# The Debian package, tried as an office would use it: built from BUILD_DIR
# with cpack, checked by lintian (no error allowed), installed with apt-get,
# then the installed tarnby-calc run on the installed sample and the
# desktop program's first start made under a virtual display with a window
# manager. The package is removed again at the end. Needs root (or sudo) to
# install. Usage: package-test.sh [BUILD_DIR]
# SCREENSHOT=FILE keeps a picture of the first start (an XWD image).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
fail() { echo "package test: $*" >&2; exit 1; }

rm -f "$build"/tarnby_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack failed"
deb=$(cd "$build" && ls tarnby_*.deb)
echo "built $deb ($(du -k "$build/$deb" | cut -f1) KiB)"
dpkg-deb -f "$build/$deb" Depends

lintian --fail-on error --tag-display-limit 0 "$build/$deb" || fail "lintian reports an error"

home=$(mktemp -d)
fb=$(mktemp -d)
installed=""
cleanup() {
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq tarnby >/dev/null
  rm -rf "$home" "$fb"
}
trap cleanup EXIT
(cd "$build" && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "./$deb" >/dev/null) ||
  fail "apt-get install failed"
installed=1

# The installed tool on the installed sample, from an empty home folder.
sample=/usr/share/tarnby/sample
out=$(cd / && env -u LD_LIBRARY_PATH -u ORV_COMPONENT_PATH HOME="$home" \
      tarnby-calc --dust-db "$sample/DUSTDATA.db" --history "$sample/sample_history.json") ||
  fail "tarnby-calc failed on the installed sample"
[ -n "$out" ] || fail "tarnby-calc printed nothing"
pdf="$home/report.pdf"
(cd / && HOME="$home" tarnby-calc --dust-db "$sample/DUSTDATA.db" \
   --history "$sample/sample_history.json" --format pdf --output "$pdf") ||
  fail "tarnby-calc --format pdf failed"
head -c 4 "$pdf" | grep -q '%PDF' || fail "no PDF written"

# The desktop's first start: it must still be running after a few seconds,
# with the user's folders made and the sample databases copied in.
Xvfb :97 -screen 0 1280x900x24 -fbdir "$fb" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=:97 openbox >/dev/null 2>&1 &
wm=$!
sleep 1
(cd / && exec env -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME -u XDG_DATA_HOME DISPLAY=:97 \
   HOME="$home" tarnby >"$home/desktop.log" 2>&1) &
app=$!
sleep 6
if [ -n "${SCREENSHOT:-}" ]; then cp "$fb/Xvfb_screen0" "$SCREENSHOT"; fi
running=1
kill "$app" 2>/dev/null || running=0
wait "$app" 2>/dev/null || true
kill "$wm" "$xvfb" 2>/dev/null || true
wait "$wm" "$xvfb" 2>/dev/null || true
[ "$running" -eq 1 ] || fail "the desktop program ended: $(cat "$home/desktop.log")"
for f in .config/tarnby/TARNBY.INI .local/share/tarnby/TARNBY.db .local/share/tarnby/DUSTDATA.db; do
  [ -e "$home/$f" ] || fail "the first start did not make $f"
done
echo "package test passed"
