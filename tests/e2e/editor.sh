#!/usr/bin/env bash
# End to end on a private X desktop: capture from the tray menu, draw two marks and a blur,
# close; the library holds the finished picture and its marks; open it again, add a mark,
# close: the same file now carries all the marks. Closing with Escape and opening a library
# picture at once, three times over, opens it every time. Then the mini-panel style.
set -euo pipefail
APP=$1
PROBE=$2
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of both editor styles in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

pictures() { find "$library" -name '*.png' -not -path '*/.marks/*' 2>/dev/null | wc -l; }
boxes_in() { grep -o '"paper"' "$1" | wc -l; }
drag() { xdotool mousemove "$1" "$2" mousedown 1 mousemove $(( ($1 + $3) / 2 )) $(( ($2 + $4) / 2 )) mousemove "$3" "$4" mouseup 1; sleep 0.3; }
editor_window() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E " $1\+" ; }
# An editor really on the screen: mapped and viewable over the whole screen (a closed one
# may linger unmapped in the window tree).
editor_shown() {
    local id
    for id in $(xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep ' 1280x800+0+0 ' | awk '{print $1}'); do
        xwininfo -id "$id" | grep IsViewable >/dev/null && return 0
    done
    return 1
}

desktop_start 1280x800
library="$HOME/Pictures/Ombrel Capture"
desktop_spawn 120 "$PROBE" window page '#f0f0f0' 200 150 700 450 >/dev/null 2>&1
wait_for 20 sh -c 'xdotool search --name "^page$" | grep -q .'
desktop_spawn 300 "$APP" >"$DESKTOP_TMP/app.log" 2>&1
app_pid=${DESKTOP_PIDS[-1]}
wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\").*+1[0-9][0-9][0-9]+'"

# Capture from the tray menu.
line=$(xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -v '"Ombrel Capture buttons"' | grep -E '\+1[0-9]{3}\+[0-9]+ *$' | head -1)
read -r w h ax ay < <(echo "$line" | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
sleep 0.8
xdotool key Down Return
check "the editor opens over the screen" wait_for 20 sh -c "xwininfo -root -tree | grep '(\"ombrel-capture\" \"Ombrel Capture\")' | grep -q ' 1280x800+0+0 '"
sleep 0.5

# Two marks with comments and a blur.
drag 300 250 420 330
xdotool type "First thing"
drag 500 300 640 380
xdotool type "Second thing"
xdotool key Escape   # leaves typing
xdotool key 3        # the Blur tool
drag 700 400 800 460
[ -n "$SHOTS" ] && import -window root "$SHOTS/editor-on-screen.png"
xdotool key 1        # back to the Mark tool, as a reopened editor starts
xdotool mousemove 1000 150 click 1   # a click on nothing: no box selected
sleep 0.5
import -window root "$DESKTOP_TMP/before-closing.png"
xdotool key Escape
sleep 0.3
xdotool key Escape
check "closing keeps one finished picture" wait_for 20 sh -c "[ \$(find '$library' -name '*.png' -not -path '*/.marks/*' | wc -l) = 1 ]"
file=$(find "$library" -name '*.png' -not -path '*/.marks/*' | head -1)
marks="$library/.marks/$(basename "${file%.png}").json"
check "its marks file holds the two marks and the blur" wait_for 10 sh -c "[ \$(grep -o '\"paper\"' '$marks' | wc -l) = 3 ]"
check "the marks file has the comments" grep -q '"First thing"' "$marks"
check "the unmarked copy is kept" test -s "$library/.marks/$(basename "$file")"
check "the finished picture is as wide as the screen" test "$("$PROBE" size "$file" | cut -dx -f1)" = 1280

# Open it again from outside: the marks come back and are saved over the same file.
"$APP" open "$file"
check "the library picture opens in the editor" wait_for 20 editor_shown
sleep 0.8
# It shows the picture as it was left: the same marks and blur at the same places, each
# drawn once over the unmarked picture.
import -window root "$DESKTOP_TMP/reopened.png"
changed=$("$PROBE" compare "$DESKTOP_TMP/before-closing.png" "$DESKTOP_TMP/reopened.png" 250 200 600 300 12)
echo "reopened picture: $changed pixels differ around the marks"
check "the reopened picture looks as it did before closing" test "$changed" -lt 300
drag 300 500 420 580
xdotool type "Third thing"
xdotool key Escape Escape
check "the same file is saved again, no new one" wait_for 20 sh -c "[ \$(grep -o '\"paper\"' '$marks' | wc -l) = 4 ]"
check "still one picture in the library" test "$(pictures)" = 1
grep -q '"Third thing"' "$marks" && grep -q '"First thing"' "$marks" || { echo "FAILED - marks lost" >&2; exit 1; }

# Closed with Escape and opened again at once, while the closing toast still shows: every
# request opens the picture, and every round's mark is kept.
for round in 1 2 3; do
    "$APP" open "$file"
    check "opened at once after closing, round $round" wait_for 20 editor_shown
    wait_for 10 sh -c 'xwininfo -id "$(xdotool getactivewindow)" | grep -q "Width: 1280"'
    sleep 0.3
    drag 300 $((560 + round * 30)) 420 $((580 + round * 30))
    xdotool key Escape Escape
    check "round $round's mark is kept" wait_for 20 sh -c "[ \$(grep -o '\"paper\"' '$marks' | wc -l) = $((4 + round)) ]"
done

# The mini-panel style: a window of its own, not over the whole screen.
sleep 2.5
kill "$app_pid" 2>/dev/null || true
wait_for 10 sh -c "! kill -0 $app_pid 2>/dev/null"
mkdir -p "$XDG_CONFIG_HOME/Ombrel"
printf '[General]\ncaptureStyle=miniPanel\n' >"$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"
desktop_spawn 300 "$APP" >>"$DESKTOP_TMP/app.log" 2>&1
wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\").*+1[0-9][0-9][0-9]+'"
"$APP" open "ombrel-capture://capture"
mini() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E ' [0-9]{3,4}x[0-9]{3}\+' | grep -v ' 1280x800+0+0 ' >/dev/null; }
check "in the mini-panel style the editor is a window of its own" wait_for 20 mini
sleep 0.8
[ -n "$SHOTS" ] && import -window root "$SHOTS/editor-mini-panel.png"
e2e_summary
