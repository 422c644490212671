#!/usr/bin/env bash
# Prepares the bundled sample data and runs the main job on it: the desktop
# program when a display is available, otherwise the sample claimant's
# calculation report in the terminal.
set -euo pipefail
build=${1:-build}
bin="$build/bin"
sample="$build/sample"
mkdir -p "$sample"

if [ -x "$bin/tarnby-dustdata" ] && [ -d data/dustdata ]; then
  "$bin/tarnby-dustdata" build data/dustdata "$sample/DUSTDATA.db" --force
  "$bin/tarnby-dustdata" check "$sample/DUSTDATA.db"
else
  echo "tarnby-dustdata is not built yet: no sample dust data database." >&2
  exit 0
fi

# The sample claimant database, from the CSV folder.
if [ -x "$bin/tarnby-claimants" ] && [ -d data/claimants ]; then
  rm -f "$sample/TARNBY.db"
  "$bin/tarnby-claimants" create "$sample/TARNBY.db"
  "$bin/tarnby-claimants" import "$sample/TARNBY.db" data/claimants
fi

# With a display, the desktop program opens on the sample databases through a
# settings file of its own beside them (written once, so the choices made in
# the program last from one run to the next; the user's own settings are not
# touched).
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/tarnby" ] && [ -f "$sample/TARNBY.db" ]; then
  here=$(cd "$sample" && pwd)
  ini="$here/TARNBY.INI"
  if [ ! -f "$ini" ]; then
    printf '[Setup]\nSystemIni=\n[DustModel]\nDustDatabase=%s\nJurisdiction=0\n[Data]\nDatabase=%s\n[Output]\nHTMLFile=%s\nDustOutputOption=0\nDustDetail=False\nDustAutoCalc=False\n' \
      "$here/DUSTDATA.db" "$here/TARNBY.db" "$here/ORVDUST.HTM" > "$ini"
  fi
  exec "$bin/tarnby" "$ini"
fi
if [ -x "$bin/tarnby-calc" ] && [ -f data/sample_history.json ]; then
  exec "$bin/tarnby-calc" --dust-db "$sample/DUSTDATA.db" --history data/sample_history.json --detail
fi
echo "The calculation is not built yet: the sample dust data database is ready at $sample/DUSTDATA.db." >&2
