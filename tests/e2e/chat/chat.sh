# The chat side of the sending tests: a desktop with the program running and a Chromium
# page as the chat. Source after desktop.sh with APP and SHOTS set; `open_chat URL` opens
# the page and puts it in front, setting CHAT to its window.

on_failure() {
    [ -n "${DESKTOP_TMP:-}" ] && { tail -n 40 "$DESKTOP_TMP/app.log"; tail -n 30 "$DESKTOP_TMP/chromium.log"; }
    [ -n "$SHOTS" ] && import -window root "$SHOTS/at-failure.png"
}
chat_title() { local t; t=$(xdotool getwindowname "$CHAT" 2>/dev/null || true); echo "${t% - Chromium}"; }
title_is() { [ "$(chat_title)" = "$1" ]; }
export -f chat_title title_is 2>/dev/null || true
prompt_says() { xwininfo -root -tree | grep "\"Ombrel Capture: $1\"" >/dev/null; }
prompt_shown() { xwininfo -root -tree | grep '"Ombrel Capture: ' >/dev/null; }
# Closes the cursor prompt with its Cancel button (it takes no focus, so Escape cannot):
# the buttons sit at its bottom right, Cancel left of the primary, whose width depends on
# its title, so the click walks left until the prompt has gone.
prompt_cancel() {
    local px py pw ph off
    read -r px py pw ph < <(xwininfo -root -tree | grep '"Ombrel Capture: ' | head -1 |
        sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\3 \4 \1 \2/')
    for off in 170 200 230 260 290; do
        xdotool mousemove $((px + pw - off)) $((py + ph - 38)) click 1
        wait_for 2 sh -c "! xwininfo -root -tree | grep -q '\"Ombrel Capture: '" && return 0
    done
    return 1
}

# Each reading of the chat's caret goes to the program's log, shown when a step fails.
export QT_LOGGING_RULES="ombrel.sending.debug=true"
desktop_start 1280x800
cp "$(dirname "$0")/chat/chat.html" "$DESKTOP_TMP/chat.html"
convert -size 64x48 xc:'#d03030' "$DESKTOP_TMP/picture.png"

app_start() {
    desktop_spawn 300 "$APP" >>"$DESKTOP_TMP/app.log" 2>&1 >/dev/null
    APP_PID=${DESKTOP_PIDS[-1]}
    check "the program is running" wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\"'"
}
app_stop() {
    kill "$APP_PID" 2>/dev/null || true
    wait_for 20 sh -c "! xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\"'"
}
app_start

open_chat() { # URL
    desktop_spawn 240 chromium --test-type --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
        --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
        --user-data-dir="$(mktemp -d "$DESKTOP_TMP/chromium.XXXXXX")" --force-renderer-accessibility \
        --window-position=0,0 --window-size=1000,700 "$1" >>"$DESKTOP_TMP/chromium.log" 2>&1 >/dev/null
    wait_for 60 sh -c 'xdotool search --name "^chat pasted= sent=0" | grep -q .'
    CHAT=$(xdotool search --name "^chat pasted= sent=0" | head -1)
    xdotool windowactivate "$CHAT" 2>/dev/null || true
    wait_for 10 sh -c "[ \"\$(xdotool getactivewindow)\" = $CHAT ]"
}

