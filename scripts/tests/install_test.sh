#!/usr/bin/env bash
# Installs the built tree into a new prefix and checks that the installation
# is laid out as Linux users expect and runs from another folder, with its
# component libraries found beside it and nothing written to the user's
# settings. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
home=$(mktemp -d)
trap 'chmod -R u+w "$prefix"; rm -rf "$prefix" "$home"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/tarnby-calc bin/tarnby-dustdata lib/liborvplatform.so lib/liborvdust.so \
    lib/liborvdustm.so lib/liborvdusto.so lib/liborvqcbo.so \
    share/tarnby/help/contents.html share/tarnby/help/support.html \
    share/tarnby/sample/DUSTDATA.db share/applications/tarnby.desktop \
    share/icons/hicolor/scalable/apps/tarnby.svg; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
if [ -x "$build/bin/tarnby" ]; then [ -x "$prefix/bin/tarnby" ] || fail "missing bin/tarnby"; fi
if [ -x "$build/bin/tarnby-claimants" ]; then
  [ -e "$prefix/share/tarnby/sample/TARNBY.db" ] || fail "missing the sample claimant database"
fi
grep -q '^Exec=tarnby$' "$prefix/share/applications/tarnby.desktop" || fail "desktop entry's Exec"
grep -q '^Icon=tarnby$' "$prefix/share/applications/tarnby.desktop" || fail "desktop entry's Icon"

# No installed program or library loads libraries from the working folder.
bash "$(dirname "$0")/runpath_check.sh" "$prefix/bin" "$prefix/lib" >/dev/null || fail "run path"

# The installed files are only read: nobody's first run may need to write them.
chmod -R a-w "$prefix/share/tarnby/sample"

# From another folder, with the build tree out of reach: the run path and the
# component search must find the installed libraries.
cd /
pdf="$home/report.pdf"
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LD_LIBRARY_PATH -u ORV_COMPONENT_PATH \
      -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" \
      "$prefix/bin/tarnby-calc" --dust-db "$prefix/share/tarnby/sample/DUSTDATA.db" \
      --history "$prefix/share/tarnby/sample/sample_history.json" --detail \
      --format pdf --output "$pdf" 2>&1 >/dev/null) || fail "tarnby-calc failed: $err"
[ -z "$err" ] || fail "tarnby-calc wrote to standard error: $err"
head -c 4 "$pdf" | grep -q '%PDF' || fail "no PDF written"
[ -z "$(find "$home" -type f ! -name report.pdf)" ] || fail "files left in the home folder: $(find "$home" -type f)"
echo "1 passed, 0 failed"
