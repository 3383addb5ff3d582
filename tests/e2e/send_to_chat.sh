#!/usr/bin/env bash
# End to end on a private X desktop with a real Chromium page as the chat: "send FILE"
# pastes the picture into the focused message box and presses Return; several files paste
# in order; a capture marked in the editor and sent lands in the chat; with the caret in a
# search box or the browser's address bar, or the chat closed, the cursor prompt asks
# instead; with Enter switched off the picture is pasted and left unsent.
set -euo pipefail
APP=$1
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the cursor prompt in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

source "$(dirname "$0")/chat/chat.sh"

# --- the caret is in the message box: the picture is pasted and Return pressed ---
open_chat "file://$DESKTOP_TMP/chat.html"
check "Chromium shows the chat and is in front" title_is "chat pasted= sent=0"
sleep 1 # let the page's accessibility tree settle
"$APP" send "$DESKTOP_TMP/picture.png"
check "the page received the picture as a pasted PNG file and then Enter" \
    wait_for 30 title_is "chat pasted=image/png:64x48 sent=1"

# --- several files: each pasted in order, then one Enter ---
for size in 10x10 20x20 30x30; do convert -size "$size" xc:'#3050d0' "$DESKTOP_TMP/p$size.png"; done
"$APP" send "$DESKTOP_TMP/p10x10.png" "$DESKTOP_TMP/p20x20.png" "$DESKTOP_TMP/p30x30.png"
check "three files are pasted in order, then one Enter" wait_for 30 title_is \
    "chat pasted=image/png:64x48,image/png:10x10,image/png:20x20,image/png:30x30 sent=2"

# --- the road of one picture: capture, mark, Send to Chat from the editor ---
"$APP" open "ombrel-capture://capture"
editor_up() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep ' 1280x800+0+0 ' >/dev/null; }
check "a capture opens the editor over the chat" wait_for 20 editor_up
sleep 0.8
xdotool mousemove 300 250 mousedown 1 mousemove 380 300 mousemove 450 350 mouseup 1
sleep 0.3
xdotool type "This box"
xdotool key Escape
xdotool key ctrl+Return
title_matches() { chat_title | grep -E "$1" >/dev/null; }
check "the chat receives the finished picture, as wide as the screen, then Enter" \
    wait_for 30 title_matches '^chat pasted=image/png:64x48,image/png:10x10,image/png:20x20,image/png:30x30,image/png:1280x[0-9]+ sent=3$'
check "the sent picture is kept in the library with its marks" \
    sh -c "ls \"\$HOME/Pictures/Ombrel Capture/.marks/\"*.json >/dev/null 2>&1"

# --- the caret in the page's search box: a search field is no chat box, so it asks ---
xdotool windowclose "$CHAT" 2>/dev/null || xdotool windowkill "$CHAT" 2>/dev/null || true
open_chat "file://$DESKTOP_TMP/chat.html#search"
sleep 1
"$APP" send "$DESKTOP_TMP/picture.png"
check "with the caret in a search box the cursor prompt asks" wait_for 30 prompt_says "Click in your chat"
check "nothing went into the search box" title_is "chat pasted= sent=0"

# --- the chat closed before sending: it asks, and pastes into nothing else ---
check "the search box's prompt is cancelled first" prompt_cancel
xdotool windowclose "$CHAT" 2>/dev/null || xdotool windowkill "$CHAT" 2>/dev/null || true
wait_for 20 sh -c "! xdotool search --name '^chat pasted' | grep -q ."
"$APP" send "$DESKTOP_TMP/picture.png"
check "with the chat gone the cursor prompt asks at once" wait_for 10 prompt_says "Click in your chat"

# --- "Press Enter After Pasting into Chat" off: the picture is pasted and left unsent ---
app_stop
mkdir -p "$XDG_CONFIG_HOME/Ombrel"
printf '[General]\npasteWithoutEnter=true\n' >"$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"
app_start
open_chat "file://$DESKTOP_TMP/chat.html"
sleep 1
"$APP" send "$DESKTOP_TMP/picture.png"
check "with Enter switched off the picture is pasted and not sent" \
    wait_for 30 title_is "chat pasted=image/png:64x48 sent=0"
sleep 1.5
check "and no Enter follows later" title_is "chat pasted=image/png:64x48 sent=0"

# --- the caret in Chromium's own address bar: no chat box, so it asks ---
xdotool key ctrl+l
sleep 0.8
"$APP" send "$DESKTOP_TMP/picture.png"
check "with the caret in the address bar the cursor prompt asks" wait_for 30 prompt_says "Click in your chat"
check "nothing more went into the page" title_is "chat pasted=image/png:64x48 sent=0"

desktop_stop
e2e_summary
