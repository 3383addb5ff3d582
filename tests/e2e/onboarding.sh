#!/usr/bin/env bash
# End to end on a private X desktop, as a new user: the first start shows the welcome
# window; "Start Using It" closes it and opens the help page once; a second start shows
# neither; after an update the release notes are shown.
set -euo pipefail
APP=$1
FIND=$2
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the three windows in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

on_failure() {
    [ -n "${DESKTOP_TMP:-}" ] && tail -n 20 "$DESKTOP_TMP/app.log"
    xwininfo -root -tree | grep -i "ombrel" || true
    [ -n "$SHOTS" ] && import -window root "$SHOTS/onboarding-at-failure.png"
}
# A window of the program with this title, mapped and viewable.
window_up() { local id; id=$(xwininfo -root -tree | grep "\"$1\": (\"ombrel-capture\"" | awk '{print $1}' | head -1)
    [ -n "$id" ] && [[ $(xwininfo -id "$id") == *IsViewable* ]]; }
window_gone() { ! window_up "$1"; }
tray_shown() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E '\+1[0-9]{3}\+[0-9]+ *$' >/dev/null; }
click_button() { # NAME: a real click in the middle of the program's push button of that name
    local x y w h
    read -r x y w h < <("$FIND" "Ombrel Capture" "push button" "$1")
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
APP_PID=
app_start() {
    desktop_spawn 300 "$APP" >>"$DESKTOP_TMP/app.log" 2>&1 >/dev/null
    APP_PID=${DESKTOP_PIDS[-1]}
    check "the program is in the tray" wait_for 20 tray_shown
}
app_stop() {
    kill "$APP_PID" 2>/dev/null || true
    wait_for 20 sh -c "! kill -0 $APP_PID 2>/dev/null"
}

DESKTOP_NEW_USER=1 desktop_start 1280x800
settings="$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"
app_start
check "a fresh home shows the welcome window" wait_for 20 window_up "Welcome to Ombrel Capture"
check "seeing the screen is allowed on X11" wait_for 10 "$FIND" "Ombrel Capture" label "You're ready."
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/welcome.png"
click_button "Start Using It"
check "Start Using It closes the welcome window" wait_for 10 window_gone "Welcome to Ombrel Capture"
check "and the help page opens" wait_for 10 window_up "Ombrel Capture Help"
sleep 0.8 # the rings pointing at the camera are still pulsing
[ -n "$SHOTS" ] && import -window root "$SHOTS/help.png"
app_stop
check "the welcome is remembered as shown" grep -q '^welcomeShown=true' "$settings"
check "so is the help page" grep -q '^hasSeenHelp=true' "$settings"

# The second start: the tray item and nothing else, also once the release notes' moment has passed.
nothing_but_the_tray() { # seconds: none of the three windows shows up in that time
    local deadline=$((SECONDS + $1)) title
    while ((SECONDS < deadline)); do
        for title in "Welcome to Ombrel Capture" "Ombrel Capture Help" "What's New in Ombrel Capture"; do
            window_gone "$title" || { echo "\"$title\" is shown" >&2; return 1; }
        done
        sleep 0.2
    done
}
app_start
check "a second start shows no welcome, help or release notes" nothing_but_the_tray 4
app_stop

# An update from an older version: its release notes show, once.
sed -i 's/^whatsNewSeenVersion=.*/whatsNewSeenVersion=0.0.1/' "$settings"
app_start
check "after an update the release notes show" wait_for 10 window_up "What's New in Ombrel Capture"
check "headed as they should be" wait_for 10 "$FIND" "Ombrel Capture" label "WHAT'S NEW IN OMBREL CAPTURE"
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/whats-new.png"
click_button "Got It"
check "Got It closes them" wait_for 10 window_gone "What's New in Ombrel Capture"
app_stop
e2e_summary
