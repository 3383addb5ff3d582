#!/usr/bin/env bash
# End to end on a private X desktop with a real Chromium page as the chat: with the focus on
# a button, "send FILE" opens the cursor prompt; once the user clicks into the message box
# the prompt sees the caret, and its Send button pastes and presses Return.
set -euo pipefail
APP=$1
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the cursor prompt in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

source "$(dirname "$0")/chat/chat.sh"

# --- the focus is on a button: the cursor prompt asks first ---
open_chat "file://$DESKTOP_TMP/chat.html#button"
sleep 1
"$APP" send "$DESKTOP_TMP/picture.png"
check "the cursor prompt asks the user to click in the chat" wait_for 30 prompt_says "Click in your chat"
check "nothing was pasted yet" title_is "chat pasted= sent=0"
[ -n "$SHOTS" ] && import -window root "$SHOTS/cursor-prompt-waiting.png"
xdotool mousemove --window "$CHAT" 200 160 click 1 # inside the message box, below the browser's own bars
check "clicking into the message box turns the prompt into Send" wait_for 10 prompt_says "I see your cursor"
sleep 0.8
[ -n "$SHOTS" ] && import -window root "$SHOTS/cursor-prompt-sees.png"
# The Send button sits at the bottom right of the prompt.
read -r px py pw ph < <(xwininfo -root -tree | grep '"Ombrel Capture: I see your cursor"' | head -1 |
    sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\3 \4 \1 \2/')
xdotool mousemove $((px + pw - 60)) $((py + ph - 38)) click 1
check "the prompt's Send pastes the picture into the chat and presses Enter" \
    wait_for 30 title_is "chat pasted=image/png:64x48 sent=1"
check "the prompt has gone" sh -c "! xwininfo -root -tree | grep -q '\"Ombrel Capture: '"

desktop_stop
e2e_summary
