#!/usr/bin/env bash
# Dictation end to end: a sentence spoken by flite is played into the test microphone (a
# PulseAudio null sink whose monitor is the default source) while the editor listens for
# the comment of the whole picture; the words arrive in the comment field, and dictation
# ends by itself after the quiet that follows.
set -euo pipefail
PROBE=$1
SHOTS=${E2E_SCREENSHOTS:-}
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT

desktop_start 1280x720
T=$DESKTOP_TMP
on_failure() { echo "--- probe output ---"; cat "$T/probe.out" "$T/probe.err" 2>/dev/null || true; }

desktop_microphone
flite -voice kal16 -t "Click the blue button at the top of the page." -o "$T/said.wav"

desktop_spawn 120 "$PROBE" 60 "$T/editor.png" >"$T/probe.out" 2>"$T/probe.err"
check "the editor starts listening" wait_for 30 grep -q '^listening' "$T/probe.out"
sleep 0.5
paplay "$T/said.wav"
check "the words arrive in the comment field" wait_for 20 grep -q '^comment at' "$T/probe.out"
check "dictation ends by itself after the quiet" wait_for 40 grep -q '^final: ' "$T/probe.out"
cat "$T/probe.out"
final=$(sed -n 's/^final: //p' "$T/probe.out" | tr 'A-Z' 'a-z')
check "the comment holds the spoken words (\"$final\")" sh -c "echo '$final' | grep -qE 'button|page|blue|top'"
[ -n "$SHOTS" ] && cp "$T/editor.png" "$SHOTS/dictation-editor.png" || true
e2e_summary
