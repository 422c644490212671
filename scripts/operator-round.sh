#!/usr/bin/env bash
# A new operator's round with the real program, as a person would go it: a
# fresh home folder, a virtual display with the Openbox window manager, keys
# and clicks sent with xdotool. First start, the options, the sample
# claimants, a new claimant with work and smoking histories, the calculation
# to the window, to the preview (saved as PDF) and to HTML, a search, the
# claimant deleted, the program quit and started again.
#
# The machine is made to have no web browser and no PDF viewer (none on the
# program's PATH, no desktop entries): each output that cannot be opened must
# be told in a box naming the file.
#
#   scripts/operator-round.sh [BUILD_DIR]
#
# Exit 0 when every check held. With TARNBY_SCREENSHOT_DIR set, a picture of
# the whole screen is saved there at each step, for a person to look at.
# Needs: Xvfb, openbox, xdotool, xwininfo, sqlite3, pdftotext, and ImageMagick's
# import for the pictures; the sample databases (made by `make run`, or found
# in BUILD_DIR/sample).
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
shots=${TARNBY_SCREENSHOT_DIR:-}
[ -n "$shots" ] && mkdir -p "$shots" && shots=$(cd "$shots" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnby-round.XXXXXX")
home="$work/home"
mkdir -p "$home"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
step() { echo "-- $*"; }

# The sample databases, as an installed program finds them beside itself.
sample="$build/sample"
if [ ! -f "$sample/TARNBY.db" ] || [ ! -f "$sample/DUSTDATA.db" ]; then
  (cd "$(dirname "$0")/.." && mkdir -p "$sample" &&
   "$bin/tarnby-dustdata" build data/dustdata "$sample/DUSTDATA.db" --force >/dev/null &&
   "$bin/tarnby-claimants" create "$sample/TARNBY.db" >/dev/null &&
   "$bin/tarnby-claimants" import "$sample/TARNBY.db" data/claimants >/dev/null)
fi

# A display of our own, on a free number, and its window manager.
exec 9>"$work/display"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# A PATH with the desktop's opener and the ordinary tools, but no browser and
# no viewer; no desktop entries either, so the opener finds no program.
nobrowser="$work/bin"
mkdir -p "$nobrowser" "$work/share"
for d in /usr/local/bin /usr/bin /bin; do
  for f in "$d"/*; do
    n=${f##*/}
    case "$n" in
      firefox* | chromium* | google-chrome* | *-www-browser | www-browser | sensible-browser | \
        run-mailcap | see | mimeopen | gio | kde-open* | exo-open | gnome-open | gvfs-open | \
        lynx | w3m | links | links2 | elinks | epiphany | konqueror | seamonkey | iceweasel | \
        mozilla | evince | okular | xpdf | zathura | mupdf | qpdfview | atril | display*)
        continue ;;
    esac
    [ -e "$nobrowser/$n" ] || ln -s "$f" "$nobrowser/$n"
  done
done

app_pid=
start_program() {
  (cd "$home" && exec env -u QT_QPA_PLATFORM -u TARNBY_SAMPLE_DIR HOME="$home" \
     XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
     XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" \
     XDG_RUNTIME_DIR="$work/run" XDG_DATA_DIRS="$work/share" PATH="$nobrowser" \
     "$bin/tarnby" >>"$work/program.log" 2>&1) &
  app_pid=$!
  pids+=("$app_pid")
}
mkdir -m 700 "$work/run"

main_title="Tarnby Dust Exposure Model Data Entry"
# Waits for a visible window whose title matches; prints its id.
wait_window() {
  local title=$1 seconds=${2:-30} id
  for _ in $(seq $((seconds * 4))); do
    id=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.25
  done
  return 1
}
wait_gone() {
  local title=$1
  for _ in $(seq 80); do
    xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 || return 0
    sleep 0.25
  done
  return 1
}
# The titles of the visible top-level windows of the program, one a line.
windows() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    xdotool getwindowname "$id" 2>/dev/null || true
  done | sort -u
}
shot() {
  sleep 0.6
  if [ -n "$shots" ]; then import -window root "$shots/$1.png"; fi
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.5; }
typed() { xdotool type --delay 40 -- "$1"; sleep 0.4; }
# A click at a point of the main window's client area.
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; sleep 0.8; }
sql() { sqlite3 "$home/.local/share/tarnby/TARNBY.db" "$1"; }

# Points of the main window's first-start layout (900 by 640).
next_claimant=(463 619)
last_claimant=(493 619)
first_claimant=(23 619)
history_add=(839 406)

step "first start in an empty home"
start_program
main=$(wait_window "$main_title" 60) || { fail "the main window did not open: $(cat "$work/program.log")"; exit 1; }
shot 01-first-start
extra=$(windows | grep -vx "$main_title" || true)
[ -z "$extra" ] && echo "   no box at the first start" || fail "boxes at the first start: $extra"
for f in .config/tarnby/TARNBY.INI .local/share/tarnby/TARNBY.db .local/share/tarnby/DUSTDATA.db; do
  [ -e "$home/$f" ] || fail "the first start did not make $f"
done
# Centred, frame and all.
client=$(xwininfo -id "$main")
X=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$client")
Y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$client")
WIDTH=$(sed -n 's/^ *Width: *//p' <<<"$client")
HEIGHT=$(sed -n 's/^ *Height: *//p' <<<"$client")
read -r fl fr ft fb <<<"$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
left=$((X - fl)); right=$((1280 - (X + WIDTH + fr))); top=$((Y - ft)); bottom=$((1024 - (Y + HEIGHT + fb)))
echo "   frame margins: left $left, right $right, top $top, bottom $bottom"
[ $((left - right)) -le 1 ] && [ $((right - left)) -le 1 ] || fail "not centred across: $left / $right"
[ $((top - bottom)) -le 1 ] && [ $((bottom - top)) -le 1 ] || fail "not centred down: $top / $bottom"
before="$X,$Y"

step "options"
key alt+t
key o
wait_window "Options" 15 >/dev/null || fail "the options did not open"
shot 02-options
key Escape
wait_gone "Options" || fail "the options did not close"

step "the sample claimants"
click "${next_claimant[@]}"
click "${next_claimant[@]}"
shot 03-sample-claimant-3
key ctrl+Next
shot 04-sample-claimant-3-work
key ctrl+Prior
click "${first_claimant[@]}"
samples=$(sql "SELECT COUNT(*) FROM CLAIMANT")
echo "   $samples sample claimants"

step "a new claimant"
key alt+a
typed "RND/23"
key Tab
typed "ZR-2323"
key alt+u
typed "Quarrington"
key alt+i
typed "Joseph"
key alt+l
typed "Mr"
shot 05-new-claimant
key ctrl+Next
id=$(sql "SELECT ID FROM CLAIMANT WHERE SURNAME='Quarrington'")
[ -n "$id" ] || fail "the new claimant was not saved on leaving his tab"

step "his work history"
add_job() {
  click "${history_add[@]}"
  typed "$1"; key Tab
  typed "$2"; key Tab
  typed "$3"; key Tab
  typed "$4"; key Tab
  typed "$5"; key Tab
  key alt+e
}
add_job "Brishstead" 1955 1965 "Face w" "No resp"
add_job "Mailmcombe" 1966 1975 "Dev" "Respirator worn"
shot 06-work-history
jobs=$(sql "SELECT COUNT(*) FROM WORKHISTORY WHERE CLAIMANTID=${id:-0}")
[ "$jobs" = 2 ] || fail "two jobs typed, $jobs saved"
extra=$(windows | grep -vx "$main_title" || true)
[ -z "$extra" ] || { fail "a box while entering jobs: $extra"; shot 06-box; key Return; }

step "his smoking history"
key ctrl+Next
click "${history_add[@]}"
typed "L"; key Tab
key alt+y
key Tab
typed "1960"; key Tab
typed "1980"; key Tab
key alt+e
shot 07-smoking-history
entries=$(sql "SELECT COUNT(*) FROM SMOKEHISTORY WHERE CLAIMANTID=${id:-0}")
[ "$entries" = 1 ] || fail "one smoking entry typed, $entries saved"

step "calculated to the window"
key ctrl+Next
key alt+d
sleep 1
shot 08-calculated-on-screen
figure=$(sql "SELECT RECOVERABLEQUANTUM FROM CLAIMANT WHERE ID=${id:-0}")
[ -n "$figure" ] && echo "   stored figure $figure" || fail "no stored result after Do Calculation"

step "calculated to the preview, saved as PDF"
key alt+v
key p
preview=$(wait_window "Dust Model Output" 30) || fail "the preview did not open"
shot 09-preview
key alt+f
key s
wait_window "Save output to PDF file" 15 >/dev/null || fail "the save dialog did not open"
shot 10-save-as-pdf
key ctrl+a
typed "$home/round.pdf"
key Return
sleep 2
shot 11-pdf-saved-no-viewer
[ -f "$home/round.pdf" ] || fail "no PDF saved"
if [ -f "$home/round.pdf" ] && ! pdftotext "$home/round.pdf" - | grep -q "Quarrington"; then
  fail "the PDF does not name the claimant"
fi
boxes=$(xdotool search --onlyvisible --name "Dust Model Output" | wc -l)
[ "$boxes" -ge 2 ] || fail "no box told that the PDF could not be opened"
key Return
[ -n "${preview:-}" ] && { xdotool windowactivate --sync "$preview" 2>/dev/null || true; key Escape; }
wait_gone "Dust Model Output" || fail "the preview did not close"

step "calculated to HTML"
xdotool windowactivate --sync "$main" 2>/dev/null || true
key alt+v
key h
wait_window "^Tarnby$" 30 >/dev/null || fail "no box told that the HTML report could not be opened"
shot 12-html-no-browser
key Return
html="$home/.local/share/tarnby/ORVDUST.HTM"
[ -f "$html" ] && grep -q "Quarrington" "$html" || fail "no HTML report naming the claimant"
key alt+v
key s

step "search"
key alt+s
wait_window "Search" 15 >/dev/null || fail "the search did not open"
typed "Quarr*"
shot 13-search
key Return
sleep 1
shot 14-search-found
key alt+s
wait_window "Search" 15 >/dev/null || fail "the search did not open again"
key ctrl+a
key BackSpace
key Return
sleep 1

step "delete the new claimant"
click "${last_claimant[@]}"
key ctrl+Delete
wait_window "^Delete Entry$" 15 >/dev/null || fail "no question before deleting"
shot 15-delete-question
key alt+y
sleep 1
left_over=$(sql "SELECT COUNT(*) FROM CLAIMANT WHERE SURNAME='Quarrington'")
[ "$left_over" = 0 ] || fail "the claimant was not deleted"
after=$(sql "SELECT COUNT(*) FROM CLAIMANT")
[ "$after" = "$samples" ] || fail "$samples claimants before, $after after"
shot 16-after-delete

step "quit"
key alt+f
key x
for _ in $(seq 80); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.25; done
if kill -0 "$app_pid" 2>/dev/null; then fail "the program did not end on File, Exit"; fi
wait "$app_pid" 2>/dev/null && echo "   ended with 0" || fail "the program ended with $?"

step "start again"
start_program
main=$(wait_window "$main_title" 60) || { fail "the main window did not open again"; exit 1; }
shot 17-second-start
extra=$(windows | grep -vx "$main_title" || true)
[ -z "$extra" ] || fail "boxes at the second start: $extra"
client=$(xwininfo -id "$main")
now="$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$client"),$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$client")"
[ "$now" = "$before" ] || fail "the window moved from $before to $now"
key alt+f
key x
for _ in $(seq 80); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.25; done

if [ "$failures" -ne 0 ]; then
  echo "operator round: $failures check(s) failed; the program said:" >&2
  cat "$work/program.log" >&2
  exit 1
fi
echo "operator round passed"
