#!/usr/bin/env bash
# End to end on a private X desktop: the ways into a capture besides the tray menu.
# The hot key Shift+Ctrl+2 opens the editor with a capture; dragging the floating buttons by
# the camera moves them and captures nothing; resting the pointer on the camera opens the
# picker, whose row for a half-covered window captures that window's own pixels; and with a
# device pixel ratio of 2 the editor fits the screen with its footer on it.
set -euo pipefail
APP=$1
PROBE=$2
FIND=$3
SHOTS=${E2E_SCREENSHOTS:-}
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT
on_failure() {
    [ -n "$SHOTS" ] && import -window root "$SHOTS/capture-anywhere-at-failure.png"
    tail -20 "$DESKTOP_TMP/app.log"
}

ms() { date +%s%3N; }
# Waits up to MS milliseconds for the command to succeed.
within_ms() { # ms command…
    local deadline=$(($(ms) + $1)); shift
    until "$@" >/dev/null 2>&1; do
        (($(ms) < deadline)) || return 1
        sleep 0.05
    done
}
ours() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' || true; }
editor_shown() { ours | grep ' 1920x1080+0+0 ' >/dev/null; }
editor_gone() { ! editor_shown; }
buttons() { xdotool search --name '^Ombrel Capture buttons$' 2>/dev/null | head -1; }
picker_shown() { ours | grep '"What should I capture?"' >/dev/null; }
# The panel's position: "X Y".
panel_at() { xdotool getwindowgeometry --shell "$(buttons)" | sed -n 's/^[XY]=//p' | paste -sd' '; }
centre_of() { # ROLE NAME → "X Y"
    local x y w h
    read -r x y w h < <("$FIND" "Ombrel Capture" "$1" "$2")
    echo "$((x + w / 2)) $((y + h / 2))"
}
start_app() { # VARIABLE=VALUE…; leaves the program's PID in APP_PID
    desktop_spawn 300 env "$@" "$APP" >>"$DESKTOP_TMP/app.log" 2>&1
    APP_PID=${DESKTOP_PIDS[-1]}
}

desktop_start 1920x1080
library="$HOME/Pictures/Ombrel Capture"
# A window half covered by another one.
desktop_spawn 200 "$PROBE" window target '#c03070' 200 200 600 400 >/dev/null 2>&1
wait_for 20 sh -c 'xdotool search --name "^target$" | grep -q .'
desktop_spawn 200 "$PROBE" window cover '#30c070' 500 350 500 400 >/dev/null 2>&1
wait_for 20 sh -c 'xdotool search --name "^cover$" | grep -q .'
start_app
check "the floating buttons show" wait_for 20 sh -c "xdotool search --onlyvisible --name '^Ombrel Capture buttons\$' | grep -q ."
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/floating-buttons.png"

# --- the hot key ---
xdotool mousemove 900 700
t0=$(ms)
xdotool key shift+ctrl+2
check "Shift+Ctrl+2 opens the editor with a capture within 2 s" within_ms 2000 editor_shown
echo "   (the editor showed $(($(ms) - t0)) ms after the key)"
sleep 0.5
xdotool key Escape
check "the editor closes" wait_for 10 editor_gone

# --- dragging by the camera ---
read -r px py < <(panel_at)
cx=$((px + 28)) cy=$((py + 132 - 28))
xdotool mousemove "$cx" "$cy" mousedown 1
xdotool mousemove $((cx - 40)) $((cy - 30)) mousemove $((cx - 150)) $((cy - 100)) mousemove $((cx - 300)) $((cy - 200))
xdotool mouseup 1
moved() { read -r nx ny < <(panel_at); [ "$nx" = $((px - 300)) ] && [ "$ny" = $((py - 200)) ]; }
check "dragging the camera moves the floating buttons" wait_for 10 moved
sleep 1.5 # a capture would have shown the editor by now
check "and the drag captures nothing" editor_gone
[ -n "$SHOTS" ] && import -window root "$SHOTS/floating-buttons-dragged.png"

# --- the picker ---
read -r px py < <(panel_at)
cx=$((px + 28)) cy=$((py + 132 - 28))
xdotool mousemove $((cx - 200)) "$cy"
sleep 0.2
xdotool mousemove "$cx" "$cy"
check "resting the pointer on the camera opens the picker" wait_for 10 picker_shown
check "the picker lists the half-covered window" wait_for 10 "$FIND" "Ombrel Capture" "push button" "Capture target"
sleep 0.3
[ -n "$SHOTS" ] && import -window root "$SHOTS/capture-picker.png"
read -r rx ry < <(centre_of "push button" "Capture target")
# Along the row's height, from the camera onto the picker (the picker stays meanwhile).
xdotool mousemove $(((cx + rx) / 2)) "$ry"
sleep 0.6
check "the picker stays while the pointer moves onto it" picker_shown
xdotool mousemove "$rx" "$ry" click 1
check "the row opens the editor" wait_for 10 sh -c "\"$FIND\" 'Ombrel Capture' 'push button' 'Copy' >/dev/null"
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/editor-of-window.png"
read -r bx by < <(centre_of "push button" "Copy")
xdotool mousemove "$bx" "$by" click 1
picture() { find "$library" -name '*.png' -not -path '*/.marks/*' 2>/dev/null | head -1; }
check "copying keeps the picture in the library" wait_for 10 sh -c "[ -n \"\$(find '$library' -name '*.png' -not -path '*/.marks/*' 2>/dev/null)\" ]"
file=$(picture)
check "the picture is the window alone, 600 × 400" test "$("$PROBE" size "$file")" = 600x400
check "its covered part shows the window's own pixels" test "$("$PROBE" differing "$file" 320 170 260 220 '#c03070' 8)" = 0

# --- a device pixel ratio of 2 ---
kill "$APP_PID"
wait_for 10 sh -c "! kill -0 $APP_PID"
start_app QT_SCALE_FACTOR=2
wait_for 20 sh -c "xdotool search --onlyvisible --name '^Ombrel Capture buttons\$' | grep -q ."
sleep 0.5
xdotool mousemove 900 700 key shift+ctrl+2
check "at a ratio of 2 the editor covers the screen exactly" wait_for 10 editor_shown
check "its footer is there" wait_for 10 sh -c "\"$FIND\" 'Ombrel Capture' 'push button' 'Copy' >/dev/null"
read -r fx fy fw fh < <("$FIND" "Ombrel Capture" "push button" "Copy")
check "and on screen" test $((fy + fh)) -le 1080 -a "$fy" -ge 0 -a $((fx + fw)) -le 1920 -a "$fx" -ge 0
[ -n "$SHOTS" ] && import -window root "$SHOTS/editor-at-ratio-2.png"
e2e_summary
