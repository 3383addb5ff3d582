#!/usr/bin/env bash
# End to end on a private X desktop with a private sound server: a 5-second recording with
# a tone played into the test microphone and a click near the top edge lands zoomed in the
# library with its sound; a zoom rendered from a plain recording and its events matches the
# planned camera; a recorder killed halfway leaves a file that the next start recovers; and
# the tray menu records the screen with the outline and time shown, which never appear in
# the video.
set -euo pipefail
APP=$1
ZOOMCHECK=$2
PROBE=$3
SHOTS=${E2E_SCREENSHOTS:-}
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

desktop_start 1280x720
T=$DESKTOP_TMP
today=$(date +%Y-%m-%d)
LIBRARY="$HOME/Pictures/Ombrel Capture"
videos() { find "$LIBRARY" -name '*.mp4' 2>/dev/null | sort; }
video_count() { videos | wc -l; }
probe() { ffprobe -v error -select_streams "$2" -show_entries "$3" -of default=nw=1:nk=1 "$1" | head -1; }
on_failure() {
    echo "--- recorder output ---"; tail -n 5 "$T"/*.err "$T"/*.out 2>/dev/null || true
    [ -n "$SHOTS" ] && import -window root "$SHOTS/recording-failure.png" || true
}

# --- a microphone: a null sink whose monitor is remapped into a source ---
desktop_microphone
ffmpeg -v error -y -f lavfi -i "sine=frequency=660:duration=8" -ac 1 "$T/tone.wav"

# --- something to look at: two windows of text ---
seq -f "Line %g of a page of notes that the camera can find" 1 14 >"$T/notes.txt"
desktop_spawn 200 xmessage -geometry 600x320+60+140 -file "$T/notes.txt" >/dev/null 2>&1
desktop_spawn 200 xmessage -geometry 420x180+780+460 "A second window with a few words in it" >/dev/null 2>&1
wait_for 20 sh -c '[ "$(xdotool search --class Xmessage | wc -l)" -ge 2 ]'
sleep 0.5

# --- 1. five seconds with sound and the zoom, a click near the top edge ---
desktop_spawn 30 paplay "$T/tone.wav" >/dev/null
timeout 120 "$APP" record --seconds 5 --events "$T/ev1.json" >"$T/rec1.out" 2>"$T/rec1.err" &
REC=$!
sleep 1.2
xdotool mousemove 300 300
sleep 0.4
xdotool mousemove 420 10
sleep 0.3
xdotool click 1
sleep 0.4
import -window root "$T/during.png"
xdotool mousemove 430 14
wait $REC
first=$(cat "$T/rec1.out")
check "the recording is saved in today's library folder" test -f "$first" -a "$(dirname "$first")" = "$LIBRARY/$today"
check "FFmpeg reads it as H.264" test "$(probe "$first" v:0 stream=codec_name)" = "h264"
check "its pictures are 1280 × 720" test "$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$first")" = "1280,720"
len=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$first")
check "it lasts about five seconds ($len s)" awk -v d="$len" 'BEGIN { exit !(d > 4.5 && d < 6.0) }'
check "it has sound" test "$(probe "$first" a:0 stream=codec_name)" = "aac"
loud=$(ffmpeg -v info -i "$first" -af volumedetect -f null - 2>&1 | sed -n 's/.*mean_volume: \(-\?[0-9.]*\) dB.*/\1/p')
check "the tone played into the microphone is heard (mean ${loud} dB)" awk -v v="$loud" 'BEGIN { exit !(v > -35) }'
check "the click near the top edge was sampled" grep -q '"clicks":\[{"time":[0-9.]*,"x":0.3[0-9]*,"y":0.0[01]' "$T/ev1.json"
click=$(sed -n 's/.*"clicks":\[{"time":\([0-9.]*\).*/\1/p' "$T/ev1.json")
# The desktop stood still apart from the pointer: a still of it stands in for the raw video.
ffmpeg -v error -y -loop 1 -framerate 30 -i "$T/during.png" -t 5 -pix_fmt yuv420p "$T/still.mp4"
at=$(awk -v c="$click" 'BEGIN { print c + 1.5 }')
read -r scale cropped whole < <("$ZOOMCHECK" "$T/still.mp4" "$first" "$T/ev1.json" "$at" | sed -E 's/scale=([0-9.]+) cropped=([0-9.]+) whole=([0-9.]+)/\1 \2 \3/')
check "1.5 s after the click the camera is zoomed in (scale $scale)" awk -v s="$scale" 'BEGIN { exit !(s > 1.4) }'
check "and the saved picture is the top of the screen enlarged (difference $cropped, unzoomed $whole)" \
    awk -v c="$cropped" -v w="$whole" 'BEGIN { exit !(c < 0.2 * w) }'
ffmpeg -v error -y -ss "$at" -i "$first" -frames:v 1 "$T/zoomed-frame.png"
[ -n "$SHOTS" ] && cp "$T/during.png" "$SHOTS/recording-desktop.png" && cp "$T/zoomed-frame.png" "$SHOTS/recording-zoomed-frame.png"

# --- 2. a plain recording zoomed afterwards from its events matches the planned camera ---
timeout 60 "$APP" record --seconds 5 --no-zoom --no-sound --events "$T/ev2.json" --output "$T/raw.mp4" \
    >"$T/rec2.out" 2>"$T/rec2.err" &
REC=$!
sleep 1
xdotool mousemove 200 250 sleep 0.3 mousemove 900 500 sleep 0.3 click 1
sleep 0.3
xdotool mousemove 905 505
wait $REC
check "--no-zoom writes the plain recording where --output says" test -s "$T/raw.mp4"
check "--no-sound leaves the sound out" test -z "$(probe "$T/raw.mp4" a stream=codec_name)"
timeout 120 "$APP" zoom "$T/raw.mp4" "$T/ev2.json" --output "$T/zoomed.mp4" >"$T/zoom.out" 2>"$T/zoom.err"
check "the zoom command renders the video" test -s "$T/zoomed.mp4"
click=$(sed -n 's/.*"clicks":\[{"time":\([0-9.]*\).*/\1/p' "$T/ev2.json")
at=$(awk -v c="$click" 'BEGIN { print c + 2.2 }') # the camera has settled on the click
read -r scale cropped whole < <("$ZOOMCHECK" "$T/raw.mp4" "$T/zoomed.mp4" "$T/ev2.json" "$at" ${SHOTS:+"$SHOTS/zoom-command"} | sed -E 's/scale=([0-9.]+) cropped=([0-9.]+) whole=([0-9.]+)/\1 \2 \3/')
check "a frame after the click shows the plan's visible rectangle (difference $cropped, unzoomed $whole, scale $scale)" \
    awk -v c="$cropped" -v w="$whole" -v s="$scale" 'BEGIN { exit !(s > 1.3 && c < 3 && w > 5 * c) }'

# --- a window is recorded with its own content even where another window covers it ---
notes=""
for id in $(xdotool search --class Xmessage); do
    xwininfo -id "$id" | grep 'Width: 600' >/dev/null && notes=$id
done
check "the notes window is found" test -n "$notes"
desktop_spawn 60 "$PROBE" window cover '#c03030' 300 250 400 200 >/dev/null
wait_for 10 sh -c 'xdotool search --name "^cover$" | grep -q .'
sleep 0.5
timeout 60 "$APP" record --window "$notes" --seconds 2 --no-zoom --no-sound --output "$T/window.mp4" \
    >"$T/rec-window.out" 2>"$T/rec-window.err"
check "a window recording has the window's size" \
    test "$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$T/window.mp4")" = "600,320"
ffmpeg -v error -y -ss 1 -i "$T/window.mp4" -frames:v 1 "$T/window-frame.png"
[ -n "$SHOTS" ] && cp "$T/window-frame.png" "$SHOTS/recording-covered-window-frame.png"
check "and shows the window, not the one covering it" \
    test "$("$PROBE" differing "$T/window-frame.png" 300 150 100 50 '#c03030' 60)" -gt 4000
xdotool search --name '^cover$' windowunmap >/dev/null 2>&1 || true

# --- 3. the raw recording is private; a start leaves a live one alone and recovers a killed one ---
mkdir -p "$T/tmp"
work="$XDG_CACHE_HOME/ombrel-capture/work"
before=$(video_count)
TMPDIR="$T/tmp" timeout 60 "$APP" record --seconds 30 --no-zoom --no-sound >"$T/rec3.out" 2>"$T/rec3.err" &
REC=$!
wait_for 15 sh -c "find '$work' -name 'ombrel-recording-*.mp4' -size +0 2>/dev/null | grep -q ."
live=$(find "$work" -name 'ombrel-recording-*.mp4' -size +0 | head -1)
check "the raw recording is written in the private work folder" test -n "$live"
check "only its owner can read it (0600 in a 0700 folder), and nothing is in the shared /tmp" \
    sh -c "[ \$(stat -c %a '$live') = 600 ] && [ \$(stat -c %a '$work') = 700 ] && [ -z \"\$(find '$T/tmp' -name 'ombrel-recording-*')\" ]"
# The program starting meanwhile must not take the file the command is still writing.
TMPDIR="$T/tmp" OMBREL_BUNDLE_ID=com.ombrel.capture desktop_spawn 60 "$APP" >"$T/app-early.log" 2>&1
early=${DESKTOP_PIDS[-1]}
sleep 4
check "a start while recording leaves the live recording where it is" \
    sh -c "[ -s '$live' ] && [ \$(find '$LIBRARY' -name '*.mp4' | wc -l) -eq $before ]"
kill -TERM "$early" 2>/dev/null || true
wait_for 15 sh -c "! kill -0 $early 2>/dev/null"
# Kill the recorder itself, not the `timeout` around it (that would leave it writing).
pkill -9 -P $REC || true
wait $REC 2>/dev/null || true
check "the killed recorder left its raw file behind" test -s "$live"
TMPDIR="$T/tmp" OMBREL_BUNDLE_ID=com.ombrel.capture desktop_spawn 120 "$APP" >"$T/app.log" 2>&1
check "the next start moves it into the library" wait_for 20 sh -c "[ \$(find '$LIBRARY' -name '*.mp4' | wc -l) -gt $before ]"
recovered=$(videos | while read -r f; do [ "$(basename "$f")" != "$(basename "$first")" ] && echo "$f"; done | tail -1)
check "and the work folder holds no recording any more" test -z "$(find "$work" -name 'ombrel-recording-*')"
rlen=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$recovered")
check "the recovered recording plays ($rlen s)" sh -c "ffmpeg -v error -i '$recovered' -f null - && awk -v d='$rlen' 'BEGIN { exit !(d >= 1.5) }'"

# --- 4. the tray menu records the screen; the outline and time never appear in the video ---
icon() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E '^ +0x[0-9a-f]+ "Ombrel Capture": .*[0-9]+x[0-9]+\+[0-9]+\+[0-9]+ +\+[0-9]+\+[0-9]+' | head -1; }
check "the tray icon is docked" wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\").*+1[0-9][0-9][0-9]+'"
read -r w h ax ay < <(icon | sed -E 's/.* ([0-9]+)x([0-9]+)\+-?[0-9]+\+-?[0-9]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4/')
tray_keys() { # opens the tray menu and presses the keys
    xdotool mousemove $((ax + w / 2)) $((ay + h / 2)) click 1
    sleep 0.8
    xdotool key "$@"
}
before=$(video_count)
xdotool mousemove 640 360
tray_keys Down Down Down Return # "Record…"
sleep 0.8
[ -n "$SHOTS" ] && import -window root "$SHOTS/recording-menu.png"
xdotool key Down Return # "Record Whole Screen"
controls_up() { xwininfo -root -tree | grep '("ombrel-capture" "Ombrel Capture")' | grep -E ' 1280x720\+0\+0 ' >/dev/null; }
check "Record Whole Screen draws the outline round the screen" wait_for 10 controls_up
sleep 1.5
import -window root "$T/recording-ui.png"
[ -n "$SHOTS" ] && cp "$T/recording-ui.png" "$SHOTS/recording-outline-and-time.png"
check "the outline is red on screen" test "$("$PROBE" differing "$T/recording-ui.png" 3 300 2 100 '#ff3b30' 40)" = 0
xdotool mousemove 500 400 sleep 0.5 mousemove 520 410
tray_keys Down Down Down Return # "Stop Recording"
sleep 0.3
[ -n "$SHOTS" ] && import -window root "$SHOTS/recording-saving.png"
check "stopping saves a new recording" wait_for 30 sh -c "[ \$(find '$LIBRARY' -name '*.mp4' | wc -l) -gt $before ]"
newest=$(find "$LIBRARY" -name '*.mp4' -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
sleep 1
ffmpeg -v error -y -ss 1 -i "$newest" -frames:v 1 "$T/ui-frame.png"
[ -n "$SHOTS" ] && cp "$T/ui-frame.png" "$SHOTS/recording-from-menu-frame.png"
check "the outline is not in the recording" test "$("$PROBE" differing "$T/ui-frame.png" 3 300 2 100 '#ff3b30' 60)" -gt 150

tray_keys Up Return # the last item: "Quit Ombrel Capture"
check "the program quits from the tray menu" wait_for 10 sh -c '! xwininfo -root -tree | grep -q "\"ombrel-capture\" \"Ombrel Capture\""'
e2e_summary
