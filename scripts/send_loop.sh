#!/usr/bin/env bash
# Sends a picture into a real Chromium chat page N times in a row (default 20) and prints
# how many landed and the median time from the send command to the picture in the page.
# Usage: scripts/send_loop.sh [N]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
APP="$PWD/build/ombrel-capture"
source tests/e2e/desktop.sh
trap desktop_stop EXIT
desktop_start 1280x800
cp tests/e2e/chat/chat.html "$DESKTOP_TMP/chat.html"
convert -size 64x48 xc:'#d03030' "$DESKTOP_TMP/picture.png"
desktop_spawn 900 "$APP" >"$DESKTOP_TMP/app.log" 2>&1
wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\"'"
desktop_spawn 900 chromium --test-type --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
    --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
    --user-data-dir="$(mktemp -d "$DESKTOP_TMP/chromium.XXXXXX")" --force-renderer-accessibility \
    --window-position=0,0 --window-size=1000,700 "file://$DESKTOP_TMP/chat.html" >/dev/null 2>&1
wait_for 60 sh -c 'xdotool search --name "^chat pasted= sent=0" | grep -q .'
CHAT=$(xdotool search --name "^chat pasted= sent=0" | head -1)
xdotool windowactivate "$CHAT" 2>/dev/null || true
sleep 1
landed=0
times=()
for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$APP" send "$DESKTOP_TMP/picture.png"
    if wait_for 30 sh -c "xdotool getwindowname $CHAT | grep -q 'sent=$i\\b'"; then
        landed=$((landed + 1))
        times+=($(( ($(date +%s%N) - start) / 1000000 )))
    fi
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR ? a[int((NR + 1) / 2)] : "none")}')
echo "$landed of $runs sends landed; median from send to the picture in the page: ${median} ms"
[ "$landed" = "$runs" ]
