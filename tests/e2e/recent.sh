#!/usr/bin/env bash
# End to end on a private X desktop: open the Recent panel from the tray menu, search a word
# written in a picture's comment, and drag the tile found into a Chromium page that notes the
# files dropped on it. Then starting the program again brings the panel back.
set -euo pipefail
APP=$1
FIND=$2
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the panel in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

on_failure() {
    [ -n "${DESKTOP_TMP:-}" ] && { tail -n 20 "$DESKTOP_TMP/app.log"; tail -n 20 "$DESKTOP_TMP/chromium.log"; }
    xwininfo -root -tree | grep -i "ombrel\|recent"; id=$(panel_line | awk "{print \$1}"); echo "panel id $id"; [ -n "$id" ] && xwininfo -id "$id" | grep -i state
    [ -n "$SHOTS" ] && import -window root "$SHOTS/recent-at-failure.png"
}
panel_line() { xwininfo -root -tree | grep '"Recent": ("ombrel-capture"' | head -1; }
# (No "grep -q" after a pipe here: under pipefail the writer's broken pipe would fail the test.)
panel_viewable() { local id; id=$(panel_line | awk '{print $1}'); [ -n "$id" ] && [[ $(xwininfo -id "$id") == *IsViewable* ]]; }
panel_gone() { ! panel_viewable; }
found() { "$FIND" "Ombrel Capture" "$1" "$2" >/dev/null 2>&1; }
centre_of() { # ROLE NAME → "X Y"
    local x y w h
    read -r x y w h < <("$FIND" "Ombrel Capture" "$1" "$2")
    echo "$((x + w / 2)) $((y + h / 2))"
}
page_title() { local t; t=$(xdotool getwindowname "$PAGE" 2>/dev/null || true); echo "${t% - Chromium}"; }

desktop_start 1280x800
library="$HOME/Pictures/Ombrel Capture"
day="$library/$(date +%Y-%m-%d)"
mkdir -p "$day" "$library/.marks"
# Three pictures and a recording; the oldest picture carries the comment searched for.
invoice="Ombrel Capture Image_090005122026_V1.png"
convert -size 1600x900 xc:'#f4f4f4' -fill '#2d7d46' -draw 'rectangle 0,0 1600,80' "$day/$invoice"
printf '{"boxes":[],"comment":"Quarterly invoice totals look wrong"}' >"$library/.marks/${invoice%.png}.json"
convert -size 1280x800 xc:'#3a6ea5' "$day/Ombrel Capture Image_100005122026_V1.png"
convert -size 1280x800 xc:'#a53a6e' "$day/Ombrel Capture Image_110005122026_V1.png"
ffmpeg -loglevel error -f lavfi -i testsrc=size=640x360:rate=10 -t 1 -pix_fmt yuv420p \
    "$day/Ombrel Capture Video_120005122026_V1.mp4"
touch -d '-4 minutes' "$day/$invoice"
touch -d '-3 minutes' "$day/Ombrel Capture Image_100005122026_V1.png"
touch -d '-2 minutes' "$day/Ombrel Capture Image_110005122026_V1.png"
touch -d '-1 minutes' "$day/Ombrel Capture Video_120005122026_V1.mp4"
invoice_size=$(stat -c %s "$day/$invoice")

# The page that takes dropped files, on the left half of the screen.
cp "$(dirname "$0")/recent/drop.html" "$DESKTOP_TMP/drop.html"
desktop_spawn 240 chromium --test-type --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
    --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
    --user-data-dir="$(mktemp -d "$DESKTOP_TMP/chromium.XXXXXX")" \
    --window-position=0,0 --window-size=900,700 "file://$DESKTOP_TMP/drop.html" >"$DESKTOP_TMP/chromium.log" 2>&1 >/dev/null
check "the drop page is open" wait_for 60 sh -c 'xdotool search --name "^drop files=" | grep -q .'
PAGE=$(xdotool search --name "^drop files=" | head -1)

desktop_spawn 300 "$APP" >"$DESKTOP_TMP/app.log" 2>&1 >/dev/null
tray() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -v '"Ombrel Capture buttons"' | grep -E '\+1[0-9]{3}\+[0-9]+ *$' | head -1; }
tray_shown() { [ -n "$(tray)" ]; }
check "the tray item is there" wait_for 20 tray_shown

# The tray menu's "Recent".
read -r w h ax ay < <(tray | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
# Pop-up menus are not on the accessibility bus: find "Recent" by the menu's separators. It is
# the last of the four items between the first and the second separator.
menu_line() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -vE ' 22x30\+| 1x1\+' | grep -E ' [0-9]{3}x[0-9]{3}\+' | head -1; }
menu_shown() { [ -n "$(menu_line)" ]; }
check "the tray menu opens" wait_for 15 menu_shown
sleep 0.3
read -r mw mh mx0 my0 < <(menu_line | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
import -window root "$DESKTOP_TMP/menu.png"
# One column near the right edge: white item rows, grey separator rows (the frame rows left out).
column=$(convert "$DESKTOP_TMP/menu.png" -crop "1x$mh+$((mx0 + mw - 8))+$my0" txt:- | awk -F'[,:]' 'NR > 1 { print $2, $0 }' |
    awk -v last=$((mh - 1)) '$1 > 0 && $1 < last && $0 !~ /#FFFFFF/ { print $1, $NF }')
separator_colour=$(echo "$column" | awk '{ print $2 }' | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')
read -r sep1 sep2 < <(echo "$column" | awk -v c="$separator_colour" '$2 == c { print $1 }' | head -2 | xargs)
check "the menu's separators are found" test -n "${sep2:-}"
xdotool mousemove $((mx0 + mw / 2)) $((my0 + sep2 - (sep2 - sep1) / 8)) click 1
check "the Recent panel opens" wait_for 15 panel_viewable
check "it counts the four items" wait_for 15 found label "4 items"
check "the recording's tile is named as one" wait_for 10 found "*" "Recording from $(date -r "$day/Ombrel Capture Video_120005122026_V1.mp4" +%H:%M)"
sleep 1 # the thumbnails arrive
[ -n "$SHOTS" ] && import -window root "$SHOTS/recent-from-tray.png"

# Search a word from the comment: only that picture is left.
read -r sx sy < <(centre_of "*" "Search")
xdotool mousemove "$sx" "$sy" click 1
xdotool type --delay 40 "invoice"
check "the search finds the commented picture alone" wait_for 15 found label "1 found"
[ -n "$SHOTS" ] && import -window root "$SHOTS/recent-search.png"

# Drag its tile into the page.
tile="Screenshot from $(date -r "$day/$invoice" +%H:%M)"
read -r tx ty < <(centre_of "*" "$tile")
xdotool mousemove "$tx" "$ty" mousedown 1
for step in 1 2 3 4 5 6 8 10 15 20; do xdotool mousemove $((tx - step)) "$ty"; sleep 0.05; done
for x in 1000 900 700 500 450 440; do xdotool mousemove "$x" 350; sleep 0.15; done
sleep 0.5
xdotool mouseup 1
dropped() { [ "$(page_title)" = "drop files=$invoice:$invoice_size" ]; }
check "the page received the file itself" wait_for 15 dropped
check "the file stays in the library" test -f "$day/$invoice"
[ -n "$SHOTS" ] && import -window root "$SHOTS/recent-dropped.png"

# Closed, then the program started again: the panel comes back.
read -r cx cy < <(centre_of "*" "Close")
xdotool mousemove "$cx" "$cy" click 1
check "the close button hides the panel" wait_for 10 panel_gone
"$APP"
check "starting the program again shows the panel" wait_for 15 panel_viewable
e2e_summary
