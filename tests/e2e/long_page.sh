#!/usr/bin/env bash
# End to end on a private X desktop: a window with a fixed header over a tall page becomes
# the target, the tray menu's "Capture a Long Page…" shows the prompt in the bottom-right
# corner, the page is scrolled with the mouse wheel while frames are taken, and Done opens
# the stitched picture in the editor: as wide as the window, taller than it, the header on top,
# and the page's lines under it in order, none repeated or dropped.
set -euo pipefail
APP=$1
PROBE=$2
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the prompt and the editor in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

on_failure() { [ -n "${DESKTOP_TMP:-}" ] && tail -n 20 "$DESKTOP_TMP/app.log" >&2 || true; }
newest_picture() { find "$HOME/Pictures/Ombrel Capture" -name '*.png' -not -path '*/.marks/*' -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-; }
PAGE_W=560
PAGE_H=600
HEADER_COLOUR='#2050a0'

desktop_start 1280x800

# --- the program, and the page window as the application the user works in ---
desktop_spawn 300 "$APP" >"$DESKTOP_TMP/app.log" 2>&1
check "the tray icon is docked in the tray host" wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\").*+1[0-9][0-9][0-9]+'"
desktop_spawn 300 "$PROBE" longpage longpage 640 60 $PAGE_W $PAGE_H >"$DESKTOP_TMP/page.log" 2>&1
check "the page window is up" wait_for 20 sh -c 'xdotool search --name "^longpage$" | grep -q .'
PAGE=$(xdotool search --name '^longpage$' | head -1)
sleep 0.5
xdotool windowactivate --sync "$PAGE"
xdotool mousemove --window "$PAGE" 200 300 click 1
sleep 0.5

# --- the tray menu's second item starts the capture ---
icon() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E '^ +0x[0-9a-f]+ "Ombrel Capture": .*[0-9]+x[0-9]+\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+' | head -1; }
read -r w h ax ay < <(icon | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
sleep 0.8
xdotool key Down Down Return   # the second item: "Capture a Long Page…"
prompt() { xdotool search --name '^Ombrel Capture: Scroll down slowly$' | head -1; }
check "the prompt asks to scroll down slowly" wait_for 20 sh -c "xdotool search --name '^Ombrel Capture: Scroll down slowly\$' | grep -q ."
PROMPT=$(prompt)
eval "$(xdotool getwindowgeometry --shell "$PROMPT")"
check "the prompt sits in the bottom-right corner" test $((X + WIDTH)) -eq 1260 -a $((Y + HEIGHT)) -ge 700
[ -n "$SHOTS" ] && import -window root "$SHOTS/long-page-prompt.png"

# --- the user scrolls the page slowly to its end ---
xdotool mousemove --window "$PAGE" 250 300
for _ in $(seq 1 12); do
    xdotool click 5
    sleep 0.5
done
sleep 0.6

# --- Done opens the stitched picture in the editor ---
eval "$(xdotool getwindowgeometry --shell "$PROMPT")"
xdotool mousemove $((X + WIDTH - 60)) $((Y + HEIGHT - 38)) click 1
editor_up() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E ' 1280x800\+0\+0 ' >/dev/null; }
check "Done opens the editor" wait_for 20 editor_up
check "the prompt has gone" wait_for 10 sh -c "! xdotool search --onlyvisible --name '^Ombrel Capture: Scroll down slowly\$' | grep -q ."
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/long-page-editor.png"

# A mark makes the editor keep the picture in the library on closing, where its size shows.
xdotool mousemove 600 300 mousedown 1 mousemove 650 340 mousemove 700 380 mouseup 1
sleep 0.3
xdotool type "long page"
xdotool key Escape
sleep 0.2
xdotool key Escape
check "closing the editor keeps the long picture" \
    wait_for 20 sh -c "find '$HOME/Pictures/Ombrel Capture' -name '*.png' -not -path '*/.marks/*' | grep -q ."
picture=$(newest_picture)
size=$("$PROBE" size "$picture")
echo "long picture: $size"
check "the long picture is as wide as the window" test "${size%x*}" = $PAGE_W
check "the long picture is taller than the window" test "${size#*x}" -gt $((PAGE_H + 300))
check "the header is on top of the long picture" \
    test "$("$PROBE" differing "$picture" 200 10 300 20 "$HEADER_COLOUR" 8)" = 0
# The unmarked copy kept beside it shows the page as stitched: under the header, the line
# stripes from the first line on, in order, none repeated or dropped, each its own height.
unmarked="$HOME/Pictures/Ombrel Capture/.marks/$(basename "$picture")"
stripes=$("$PROBE" stripes "$unmarked" 6 48 || true)
echo "stitched page: $stripes"
check "the stitched page shows its lines in order from the first, each once and whole" \
    sh -c "echo '$stripes' | grep -Eq '^lines 1-[0-9]+\$'"

desktop_stop
e2e_summary
