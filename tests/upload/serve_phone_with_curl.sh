#!/usr/bin/env bash
# Runs `ombrel-capture serve-phone --bind 127.0.0.1` and talks to it with real curl: a
# large upload at the address it prints (measuring the server's peak memory), the saved
# file's path it prints, and a clean stop on SIGTERM. Never leaves a process behind.
set -euo pipefail

program=${1:?usage: serve_phone_with_curl.sh PATH/TO/ombrel-capture}
work=$(mktemp -d)
server_pid=  # the `timeout` guarding the program
program_pid= # the program itself
cleanup() {
    if [[ -n "$server_pid" ]]; then
        kill -TERM "$server_pid" 2>/dev/null || true # timeout passes it on to the program
        for _ in $(seq 30); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
        if [[ -n "$program_pid" ]]; then kill -KILL "$program_pid" 2>/dev/null || true; fi
        kill -KILL "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; echo "--- server stdout:" >&2; cat "$work/out" >&2 || true; exit 1; }
# Only ever 127.0.0.1, and never through a proxy from the environment.
fetch() { timeout 60 curl --silent --show-error --noproxy '*' --max-time 50 "$@"; }

timeout 100 "$program" serve-phone --bind 127.0.0.1 --inbox "$work/inbox" >"$work/out" 2>"$work/err" &
server_pid=$!

for _ in $(seq 100); do
    [[ -s "$work/out" ]] && break
    kill -0 "$server_pid" 2>/dev/null || fail "the server ended early: $(cat "$work/err")"
    sleep 0.1
done
url=$(head -n 1 "$work/out")
program_pid=$(pgrep -P "$server_pid")
[[ -n "$program_pid" ]] || fail "cannot find the program under its timeout"
[[ "$url" =~ ^http://127\.0\.0\.1:[0-9]+/[0-9A-F]{32}$ ]] || fail "unexpected address line: '$url'"

# A 200 MB upload streamed from a pipe: the server's memory must not grow with it. The
# body goes as plain bytes after its Content-Length: curl would otherwise send a pipe in
# chunks, whose framing the server does not take apart.
big_bytes=$((200 * 1024 * 1024))
answer=$(head -c "$big_bytes" /dev/zero |
    fetch -X POST -T - -H "Content-Length: $big_bytes" -H 'Transfer-Encoding:' -H 'Expect:' \
        "$url/upload?name=big.bin") ||
    fail "big upload request failed"
[[ "$answer" == "ok" ]] || fail "big upload answered '$answer'"
for _ in $(seq 50); do (($(wc -l <"$work/out") >= 2)) && break; sleep 0.1; done
big=$(sed -n 2p "$work/out")
[[ "$big" == "$work/inbox/"????????"-big.bin" ]] || fail "saved as '$big'"
[[ $(stat -c %s "$big") == "$big_bytes" ]] || fail "the big file has $(stat -c %s "$big") bytes"
cmp -s -n "$big_bytes" "$big" /dev/zero || fail "the big file holds other bytes than were sent"
peak_kib=$(awk '/^VmHWM:/ {print $2}' "/proc/$program_pid/status")
echo "server peak memory after a 200 MB upload: ${peak_kib} KiB"
((peak_kib < 100 * 1024)) || fail "peak memory ${peak_kib} KiB: the body was held in memory"
rm -f "$big"

# A clean stop on SIGTERM: exit status 0 and no incomplete file left.
kill -TERM "$program_pid"
status=0
wait "$server_pid" || status=$?
server_pid=
program_pid=
[[ "$status" == 0 ]] || fail "serve-phone ended with status $status on SIGTERM"
leftovers=$(find "$work/inbox" -mindepth 1 | wc -l)
[[ "$leftovers" == 0 ]] || fail "the inbox holds unexpected files"
echo "PASS"
