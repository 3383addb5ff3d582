#!/usr/bin/env bash
# Crash reports and the update offer on a private X desktop, with the real program
# installed into a bundle and a local HTTPS site (test authority via SSL_CERT_FILE):
#   updates_on_desktop.sh BUILD_DIR SIGN_TOOL ATSPIFIND
# 1. The program runs as the real build; a fatal signal sent to it leaves a crash report.
# 2. The next launch summarises the report and posts it to the site's /api/crash.
# 3. A launch that finds a newer version offers it; "Update Now" installs it, and the new
#    version starts once the old one has quit.
set -euo pipefail
build=${1:?usage: updates_on_desktop.sh BUILD_DIR SIGN_TOOL ATSPIFIND}
SIGN=${2:?}
FIND=${3:?}
SHOTS=${E2E_SCREENSHOTS:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../e2e/desktop.sh"
source "$here/update_site.sh"
trap 'site_stop; desktop_stop' EXIT
desktop_start 1280x800
WORK="$DESKTOP_TMP/work"
mkdir -p "$WORK"
export OMBREL_BUNDLE_ID=com.ombrel.capture # the real build's start-up: crash check and update check
reports="$HOME/.local/state/ombrel-capture/crash-reports"
settings="$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"

bundle="$DESKTOP_TMP/apps/ombrel-capture"
cmake --install "$build" --prefix "$bundle" >/dev/null
app="$bundle/bin/ombrel-capture"
current=$("$app" --version)
current=${current#ombrel-capture }
site_start
"$SIGN" public-key --key "$WORK/maker.pem" >"$bundle/share/ombrel-capture/update-keys/test-maker.pem"
make_update good.zip maker.pem 9.9.9 com.ombrel.capture
uptodate=$(feed uptodate "$current" "$https/good.zip" "$(sha "$WORK/site/good.zip")")
mkdir -p "$(dirname "$settings")"
printf '[General]\nupdatesFeed=%s\ncrashReportsAddress=%s\n' "$uptodate" "$https/api/crash" >"$settings"

on_failure() {
    echo "--- program output:"; cat "$DESKTOP_TMP"/app*.log 2>/dev/null | tail -30
    echo "--- site:"; cat "$WORK/site/requests.log" 2>/dev/null | tail -20
}
program_pid=
launches=0
launch() { # starts the bundle's program and waits until its windows are up
    local guard
    launches=$((launches + 1))
    desktop_spawn 300 "$app" >"$DESKTOP_TMP/app$launches.log" 2>&1
    guard=${DESKTOP_PIDS[-1]}
    wait_for 20 sh -c "pgrep -P $guard >/dev/null" || return 1
    program_pid=$(pgrep -P "$guard")
    wait_for 30 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\"'"
}
gone() { ! kill -0 "$1" 2>/dev/null || grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }

# --- 1. a crash leaves a report ---
check "the program starts as the real build" launch
check "its first launch notes the time of the look for crash reports" \
    wait_for 20 grep -q '^lastCrashSeen=' "$settings"
kill -SEGV "$program_pid"
check "the program dies of the signal" wait_for 20 gone "$program_pid"
report() { find "$reports" -name 'OmbrelCapture-*.ips' | head -1; }
check "it leaves a crash report" wait_for 10 sh -c "[ -n \"\$(find '$reports' -name 'OmbrelCapture-*.ips')\" ]"
check "and no partial file" test -z "$(find "$reports" -name '.*partial')"
"$app" crash-summary "$(report)" >"$WORK/summary.json"
check "its summary names the signal" test "$(jq -r .exception "$WORK/summary.json")" = "SI_USER SIGSEGV"

# --- 2. the next launch posts the summary ---
check "the program starts again" launch
check "the summary is posted to /api/crash" wait_for 30 test -s "$WORK/site/posted.jsonl"
posted=$(head -1 "$WORK/site/posted.jsonl")
check "the post holds the seven members" test "$(jq -r 'keys | join(",")' <<<"$posted")" = \
    "build,cpu,exception,frames,macos,reason,version"
check "with the version, the signal and the frames" test "$(jq -r '.version + " " + .exception + " " + .reason' \
    <<<"$posted")" = "$current SI_USER SIGSEGV Segmentation fault"
check "and at least one frame" test "$(jq '.frames | length' <<<"$posted")" -ge 1
[ -n "$SHOTS" ] && sleep 0.5 && import -window root "$SHOTS/crash-toast.png"
kill -TERM "$program_pid"
check "it quits on request" wait_for 20 gone "$program_pid"
check "a clean quit leaves no new report" test "$(find "$reports" -name 'OmbrelCapture-*.ips' | wc -l)" = 1

# --- 3. an offered update, installed from the prompt ---
good=$(feed good 9.9.9 "$https/good.zip" "$(sha "$WORK/site/good.zip")")
sed -i -e '/^lastUpdateCheck=/d' -e "s|^updatesFeed=.*|updatesFeed=$good|" "$settings"
check "the program starts again" launch
old_pid=$program_pid
offer() { xdotool search --name '^Ombrel Capture: Version 9.9.9 is ready$' >/dev/null; }
check "its update check offers version 9.9.9" wait_for 30 offer
[ -n "$SHOTS" ] && sleep 0.5 && import -window root "$SHOTS/update-offer.png"
check "the offer's button is Update Now" wait_for 20 sh -c "'$FIND' 'Ombrel Capture' 'push button' 'Update Now' >/dev/null"
read -r x y w h < <("$FIND" "Ombrel Capture" "push button" "Update Now")
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
check "the old version quits" wait_for 120 gone "$old_pid"
new_pid() { pgrep -xf "$app" | grep -vx "$old_pid" | head -1; }
check "the new version starts" wait_for 30 sh -c "[ -n \"\$(pgrep -xf '$app' | grep -vx '$old_pid')\" ]"
program_pid=$(new_pid)
DESKTOP_PIDS+=("$program_pid") # started by the update, not by us: stop it with the desktop
check "it runs from the bundle, which is version 9.9.9" test "$(readlink "/proc/$program_pid/exe")" = "$app"
check "the bundle says 9.9.9" test "$("$app" --version)" = "ombrel-capture 9.9.9"
check "the new version is up and stays" wait_for 30 sh -c "xwininfo -root -tree | grep -q '\"ombrel-capture\" \"Ombrel Capture\"'"
kill -TERM "$program_pid"
check "the new version quits on request" wait_for 20 gone "$program_pid"
e2e_summary
