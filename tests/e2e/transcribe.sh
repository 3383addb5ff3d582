#!/usr/bin/env bash
# Transcription end to end with the real recogniser: two sentences spoken by flite with 4 s
# of silence between them, in a video made by FFmpeg, become captions that cover both
# sentences and never start inside the silence; a silent video and a video without sound
# give no captions and no error; a language without a model says it is not available.
set -euo pipefail
APP=$1
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
export XDG_RUNTIME_DIR="$T/run" HOME="$T/home"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}
length() { ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$1"; }

flite -voice kal16 -t "Click the blue button at the top of the page." -o "$T/one-raw.wav"
flite -voice kal16 -t "Then type your name into the box and press save." -o "$T/two-raw.wav"
ffmpeg -v error -y -i "$T/one-raw.wav" -ar 16000 -ac 1 "$T/one.wav"
ffmpeg -v error -y -i "$T/two-raw.wav" -ar 16000 -ac 1 "$T/two.wav"
one=$(length "$T/one.wav")
two=$(length "$T/two.wav")
lead=0.5
# The first sentence from 0.5 s, 4 s of silence, then the second sentence, then 1 s.
second_start=$(echo "$lead + $one + 4" | bc -l)
total=$(echo "$second_start + $two + 1" | bc -l)
ffmpeg -v error -y -f lavfi -i "color=c=gray:s=320x180:r=30:d=$total" \
    -f lavfi -i "anullsrc=r=16000:cl=mono" -i "$T/one.wav" -i "$T/two.wav" \
    -filter_complex "[2:a]adelay=500[a1];[3:a]adelay=$(echo "$second_start * 1000" | bc -l | cut -d. -f1)[a2];[1:a][a1][a2]amix=inputs=3:duration=first:normalize=0[a]" \
    -map 0:v -map "[a]" -t "$total" -c:v libx264 -pix_fmt yuv420p -c:a aac "$T/talk.mp4"

"$APP" transcribe "$T/talk.mp4" --output "$T/talk.json" >"$T/talk.out"
cat "$T/talk.out"
jq -c '.captions[]' "$T/talk.json"
first_end=$(echo "$lead + $one" | bc -l)
covers() { # any caption overlapping [$1, $2]
    jq -e --argjson a "$1" --argjson b "$2" \
        '[.captions[] | select(.time < $b and .time + .duration > $a and (.text | length) > 0)] | length > 0' \
        "$T/talk.json" >/dev/null
}
check "a caption covers the first sentence" covers "$lead" "$first_end"
check "a caption covers the second sentence" covers "$second_start" "$(echo "$second_start + $two" | bc -l)"
quiet_from=$(echo "$first_end + 0.4" | bc -l)
quiet_to=$(echo "$second_start - 0.4" | bc -l)
check "no caption starts inside the silence" jq -e --argjson a "$quiet_from" --argjson b "$quiet_to" \
    '[.captions[] | select(.time > $a and .time < $b)] | length == 0' "$T/talk.json" >/dev/null
words=$(jq -r '[.captions[].text] | join(" ")' "$T/talk.json" | tr 'A-Z' 'a-z')
check "words of both sentences are heard (\"$words\")" \
    sh -c "echo '$words' | grep -qE 'button|page|blue' && echo '$words' | grep -qE 'name|box|save'"
check "the captions file is an edit the renderer reads" \
    "$APP" video-render "$T/talk.mp4" "$T/talk.json" --output "$T/captioned.mp4"

# A longer video heard in three parts: each sentence's caption starts where it is said, also
# in the later parts (the recogniser is used again for them).
ffmpeg -v error -y -f lavfi -i "color=c=gray:s=320x180:r=30:d=26" -f lavfi -i "anullsrc=r=16000:cl=mono" \
    -i "$T/one.wav" -i "$T/two.wav" \
    -filter_complex "[2:a]adelay=13000[a1];[3:a]adelay=22000[a2];[1:a][a1][a2]amix=inputs=3:duration=first:normalize=0[a]" \
    -map 0:v -map "[a]" -t 26 -c:v libx264 -pix_fmt yuv420p -c:a aac "$T/long.mp4"
"$APP" transcribe "$T/long.mp4" --output "$T/long.json" >/dev/null
jq -c '.captions[]' "$T/long.json"
starts_near() { # a caption starts within 0.8 s after $1
    jq -e --argjson t "$1" '[.captions[] | select(.time >= $t - 0.1 and .time <= $t + 0.8)] | length > 0' \
        "$T/long.json" >/dev/null
}
check "the sentence at 13 s (second part) is captioned at its time" starts_near 13
check "the sentence at 22 s (third part) is captioned at its time" starts_near 22
check "and nothing is captioned before them" \
    sh -c "jq -e '[.captions[] | select(.time < 12.9)] | length == 0' '$T/long.json' >/dev/null"

ffmpeg -v error -y -f lavfi -i "color=c=gray:s=320x180:r=30:d=6" -f lavfi -i "anullsrc=r=48000:cl=stereo" \
    -t 6 -c:v libx264 -pix_fmt yuv420p -c:a aac "$T/silent.mp4"
check "a silent video gives no error" "$APP" transcribe "$T/silent.mp4" --output "$T/silent.json"
check "and no captions" sh -c "jq -e '.captions | length == 0' '$T/silent.json' >/dev/null"
ffmpeg -v error -y -f lavfi -i "color=c=gray:s=320x180:r=30:d=3" -c:v libx264 -pix_fmt yuv420p "$T/mute.mp4"
check "a video without sound gives no captions and no error" \
    sh -c "'$APP' transcribe '$T/mute.mp4' --output '$T/mute.json' && jq -e '.captions | length == 0' '$T/mute.json' >/dev/null"

set +e
"$APP" transcribe "$T/talk.mp4" --language hi-IN --output "$T/hindi.json" 2>"$T/hindi.err"
status=$?
set -e
check "a language without a model fails" test "$status" -eq 1
check "saying it is not available" grep -q "isn't available on this computer" "$T/hindi.err"
check "and leaves no captions file" test ! -e "$T/hindi.json"
check "no temporary sound is left behind" \
    sh -c "! ls '$XDG_RUNTIME_DIR/ombrel-capture' 2>/dev/null | grep -q ombrel-"

[ "$failures" -eq 0 ]
