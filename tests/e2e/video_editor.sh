#!/usr/bin/env bash
# End to end on a private X desktop: `ombrel-capture open` a short recording of the library,
# add a text note and a crop through the video editor with the mouse and keyboard, and Save
# Version: the library holds the _V2 file with the crop's size and the note's pixels at its
# time, and the window now shows _V2.
set -euo pipefail
APP=$1
FIND=$2
PROBE=$3
SHOTS=${E2E_SCREENSHOTS:-}   # a folder to keep screenshots of the editor in
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

on_failure() {
    [ -n "${DESKTOP_TMP:-}" ] && tail -n 20 "$DESKTOP_TMP/app.log"
    xwininfo -root -tree | grep -i "ombrel"
    [ -n "$SHOTS" ] && import -window root "$SHOTS/video-editor-at-failure.png"
}
centre_of() { # NAME → "X Y" of a button of the editor
    local x y w h
    read -r x y w h < <("$FIND" "Ombrel Capture" "*" "$1")
    echo "$((x + w / 2)) $((y + h / 2))"
}
click_button() { local x y; read -r x y < <(centre_of "$1"); xdotool mousemove "$x" "$y" click 1; sleep 0.3; }
# (No "grep -q" after a pipe: under pipefail the writer's broken pipe would fail the check.)
editor_titled() { xwininfo -root -tree | grep "\"$1\": (\"ombrel-capture\"" >/dev/null; }

desktop_start 1280x800
library="$HOME/Pictures/Ombrel Capture"
day="$library/$(date +%Y-%m-%d)"
mkdir -p "$day"
name="Ombrel Capture Video_120005122026"
# Four seconds of sea green with a tone: the picture is easy to find on the screen and in the file.
ffmpeg -loglevel error -f lavfi -i "color=c=0x2e8b57:s=640x360:r=30:d=4" -f lavfi -i "sine=frequency=440:duration=4" \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$day/${name}_V1.mp4"

# A sound card that is heard through its monitor: the editor plays the video's sound into it.
desktop_spawn 300 pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -L module-native-protocol-unix -L "module-null-sink sink_name=speaker" >"$DESKTOP_TMP/pulse.log" 2>&1
wait_for 20 pactl info || { echo "the sound server did not start" >&2; exit 1; }
pactl set-default-sink speaker

desktop_spawn 300 "$APP" >"$DESKTOP_TMP/app.log" 2>&1
wait_for 20 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\")'"
"$APP" open "$day/${name}_V1.mp4"
check "the recording opens in the video editor" wait_for 30 editor_titled "${name}_V1"
check "its buttons are on the accessibility bus" wait_for 30 "$FIND" "Ombrel Capture" "*" "Save Version"

# Where the picture is on the screen: the box of its sea-green pixels.
shot="$DESKTOP_TMP/shot.png"
video_box() {
    import -window root "$shot"
    convert "$shot" -fuzz 6% -fill black +opaque '#2e8b57' -format '%@' info: 2>/dev/null
}
box_found() { [[ $(video_box) =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] > 300)); }
check "the first picture is shown" wait_for 30 box_found
[[ $(video_box) =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]
vw=${BASH_REMATCH[1]} vh=${BASH_REMATCH[2]} vx=${BASH_REMATCH[3]} vy=${BASH_REMATCH[4]}
at() { echo "$((vx + vw * $1 / 100)) $((vy + vh * $2 / 100))"; } # percent of the picture

# A note at 20 % × 20 %, typed in place.
click_button "Add Text"
read -r x y < <(at 20 20)
xdotool mousemove "$x" "$y" click 1
sleep 0.3
xdotool type --delay 30 "Hello there"
xdotool key Return
# The crop: from 5 % to 85 % on both axes.
click_button "Crop"
read -r x0 y0 < <(at 5 5)
read -r x1 y1 < <(at 85 85)
xdotool mousemove "$x0" "$y0" mousedown 1 mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove "$x1" "$y1" mouseup 1
sleep 0.5
[ -n "$SHOTS" ] && import -window root "$SHOTS/video-editor-note-and-crop.png"
click_button "Save Version"

v2="$day/${name}_V2.mp4"
check "Save Version writes the next version" wait_for 60 test -s "$v2"
check "and the window now shows it" wait_for 30 editor_titled "${name}_V2"
check "no partial file is left beside it" test -z "$(find "$day" -name '.*.part')"
check "the original stays" test -s "$day/${name}_V1.mp4"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$v2")
# 80 % of 640 × 360, to even pixels (the drag lands within a pixel or two of it).
check "the new version has the crop's size ($size)" \
    bash -c "[[ '$size' =~ ^(50[0-9]|51[0-9]|52[0-4])x(28[0-9]|29[0-6])$ ]]"
ffmpeg -loglevel error -ss 1 -i "$v2" -frames:v 1 "$DESKTOP_TMP/at1.png"
ffmpeg -loglevel error -ss 3.5 -i "$v2" -frames:v 1 "$DESKTOP_TMP/at3.png"
# The note's top-left corner lands at 15 % of the source from the crop's corner: 96 × 54 pixels.
navy() { local c; c=$("$PROBE" color "$1" "$2" "$3"); c=${c#\#}; (( 16#${c:4:2} > 16#${c:0:2} + 20 && 16#${c:2:2} < 90 )); }
check "the note is drawn at its place while shown" navy "$DESKTOP_TMP/at1.png" 104 64
not_navy() { ! navy "$@"; }
check "and gone after its three seconds" not_navy "$DESKTOP_TMP/at3.png" 104 64
[ -n "$SHOTS" ] && import -window root "$SHOTS/video-editor-saved.png"

# Space plays the new version, and its sound is heard.
read -r x y < <(at 70 70)
xdotool mousemove "$x" "$y" click 1 key space
timeout 2 parec -d speaker.monitor --file-format=wav "$DESKTOP_TMP/heard.wav" || true
xdotool key space
loudness=$(ffmpeg -hide_banner -i "$DESKTOP_TMP/heard.wav" -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(-*[0-9.]*\) dB.*/\1/p')
check "playing sounds the video's tone (loudest ${loudness:-none} dB)" \
    bash -c "[ -n '$loudness' ] && awk 'BEGIN { exit !($loudness > -30) }'"
# Mute silences the playing too. (The sink's monitor gives no samples at all while nothing
# plays into it, so "none" is silence as well.)
click_button "Mute"
xdotool key space
timeout 1.5 parec -d speaker.monitor --file-format=wav "$DESKTOP_TMP/muted.wav" || true
xdotool key space
quiet=$(ffmpeg -hide_banner -i "$DESKTOP_TMP/muted.wav" -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(-*[0-9.]*\) dB.*/\1/p')
check "muted, nothing is heard (loudest ${quiet:-none} dB)" bash -c "[ -z '$quiet' ] || awk 'BEGIN { exit !($quiet < -60) }'"
e2e_summary
