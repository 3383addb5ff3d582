#!/usr/bin/env bash
# End to end on a private X desktop: the program starts with a tray host, its tray menu
# captures the screen into today's library folder, our own toast and panels never show in
# a grab, a covered window is grabbed whole, the clipboard holds a capture, and a
# 5120 × 2880 screen is captured at 2400 × 1350.
set -euo pipefail
APP=$1
PROBE=$2
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the menu and the toast in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

library_count() { find "$HOME/Pictures/Ombrel Capture" -name '*.png' -not -path '*/.marks/*' 2>/dev/null | wc -l; }
newest_picture() { find "$HOME/Pictures/Ombrel Capture" -name '*.png' -not -path '*/.marks/*' -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-; }
ROOT_COLOUR='#5a7fa8'

desktop_start 1280x800
today=$(date +%Y-%m-%d)

# --- the program and its tray menu ---
desktop_spawn 300 "$APP" >"$DESKTOP_TMP/app.log" 2>&1
app_pid=${DESKTOP_PIDS[-1]}
icon() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E '^ +0x[0-9a-f]+ "Ombrel Capture": .*[0-9]+x[0-9]+\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+' | head -1; }
check "the tray icon is docked in the tray host" wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\").*+1[0-9][0-9][0-9]+'"
read -r w h ax ay < <(icon | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
menu_open() { xwininfo -root -tree | grep '"ombrel-capture" "Ombrel Capture").*[0-9]x[0-9]\{3\}+' >/dev/null; }
sleep 0.8
[ -n "$SHOTS" ] && import -window root "$SHOTS/tray-menu.png"
xdotool key Down Return   # the first item: "Capture Screen"
editor_up() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E ' 1280x800\+0\+0 ' >/dev/null; }
check "Capture Screen opens the editor over the screen" wait_for 20 editor_up
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/editor.png"

# --- our own windows never appear in a grab ---
"$APP" capture --output "$DESKTOP_TMP/under-editor.png" >/dev/null
check "a grab while the editor covers the screen shows the desktop, not the editor" \
    test "$("$PROBE" differing "$DESKTOP_TMP/under-editor.png" 300 300 600 300 "$ROOT_COLOUR")" = 0

# --- a marked picture is kept in today's folder with its marks ---
xdotool mousemove 400 300 mousedown 1 mousemove 500 380 mousemove 600 450 mouseup 1
sleep 0.3
xdotool type "Login button is broken"
xdotool key Escape
sleep 0.2
xdotool key Escape
check "closing the editor keeps the marked picture in today's folder" \
    wait_for 20 sh -c "[ \$(find '$HOME/Pictures/Ombrel Capture/$today' -name 'Ombrel Capture Image_*_V1.png' | wc -l) -eq 1 ]"
first=$(newest_picture)
check "the picture is as wide as the screen" test "$("$PROBE" size "$first" | cut -dx -f1)" = 1280
check "its marks are kept beside it" test -s "$HOME/Pictures/Ombrel Capture/.marks/$(basename "${first%.png}").json"
check "the library search finds it by its comment" sh -c "'$APP' library search login broken | grep -qF '$first'"

# --- a toast on screen never appears in a grab ---
sleep 0.4
import -window root "$DESKTOP_TMP/with-toast.png"
[ -n "$SHOTS" ] && cp "$DESKTOP_TMP/with-toast.png" "$SHOTS/toast.png"
toast_area=(480 650 320 60)
check "the toast is on screen" test "$("$PROBE" differing "$DESKTOP_TMP/with-toast.png" "${toast_area[@]}" "$ROOT_COLOUR")" -gt 1000
"$APP" capture --output "$DESKTOP_TMP/cli.png" >/dev/null
check "a command-line grab leaves out the running program's toast" \
    test "$("$PROBE" differing "$DESKTOP_TMP/cli.png" "${toast_area[@]}" "$ROOT_COLOUR")" = 0

# --- the capture URL reaches the running program ---
"$APP" open "ombrel-capture://capture?send=0"
check "the capture URL opens the editor again" wait_for 20 editor_up
sleep 0.5
xdotool key Escape   # the editor has the keys without a click
check "closing an unmarked capture keeps nothing" \
    wait_for 10 sh -c "! xwininfo -root -tree | grep '(\"ombrel-capture\" \"Ombrel Capture\")' | grep -qE ' 1280x800\+0\+0 '"
test "$(library_count)" = 1 || { echo "FAILED - an unmarked capture was written" >&2; exit 1; }

# --- a covered window is grabbed whole, without its frame ---
desktop_spawn 120 "$PROBE" window covered '#d03030' 100 120 400 300 >/dev/null 2>&1
wait_for 20 sh -c 'xdotool search --name "^covered$" | grep -q .'
desktop_spawn 120 "$PROBE" window cover '#30a040' 250 200 400 300 >/dev/null 2>&1
wait_for 20 sh -c 'xdotool search --name "^cover$" | grep -q .'
sleep 0.5
covered=$(xdotool search --name '^covered$' | head -1)
"$APP" capture --window "$covered" --output "$DESKTOP_TMP/window.png" >/dev/null
check "the window grab has the window's own size" test "$("$PROBE" size "$DESKTOP_TMP/window.png")" = 400x300
check "the covered part shows the window, not the one above it" \
    test "$("$PROBE" differing "$DESKTOP_TMP/window.png" 0 20 380 280 '#d03030')" = 0
check "the window's corner marker is there" test "$("$PROBE" color "$DESKTOP_TMP/window.png" 390 290)" = '#000000'

# --- the clipboard holds a capture after the command has ended ---
"$APP" capture --output "$DESKTOP_TMP/clip.png" --clipboard >/dev/null
# This desktop's keeper: tests running side by side each have their own.
holder=""
for pid in $(ps -eo pid=,args= | awk '$2 ~ /ombrel-capture$/ && $3 == "hold-clipboard" {print $1}'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -Fx "HOME=$HOME" >/dev/null && holder=$pid
done
check "a keeper holds the clipboard after the command has ended" test -n "$holder"
DESKTOP_PIDS+=("$holder")
wait_for 10 sh -c 'xclip -selection clipboard -t TARGETS -o | grep -q image/png'
timeout 10 xclip -selection clipboard -t image/png -o >"$DESKTOP_TMP/pasted.png"
check "the clipboard holds the same picture" cmp -s "$DESKTOP_TMP/clip.png" "$DESKTOP_TMP/pasted.png"
echo "other" >"$DESKTOP_TMP/other.txt"
desktop_spawn 20 xclip -selection clipboard -i "$DESKTOP_TMP/other.txt" >/dev/null
check "the clipboard keeper leaves once something else is copied" wait_for 10 sh -c "! kill -0 $holder"

# --- quitting from the tray menu ends the program ---
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
sleep 0.8
xdotool key Up Return   # the last item: "Quit Ombrel Capture"
check "Quit in the tray menu ends the program" wait_for 10 sh -c "! kill -0 $app_pid 2>/dev/null"
desktop_stop

# --- a large screen is captured at 2400 × 1350 ---
desktop_start 5120x2880
"$APP" capture --output "$DESKTOP_TMP/big.png" >/dev/null
check "a 5120 × 2880 screen gives 2400 × 1350" test "$("$PROBE" size "$DESKTOP_TMP/big.png")" = 2400x1350
desktop_stop

e2e_summary
