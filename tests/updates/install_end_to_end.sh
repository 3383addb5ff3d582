#!/usr/bin/env bash
# The install layout and the updater end to end, on 127.0.0.1 with a local HTTPS server
# whose certificate comes from a test authority (trusted through SSL_CERT_FILE):
#   install_end_to_end.sh BUILD_DIR SIGN_TOOL
# The program is installed into a bundle of its own; each bad update leaves that bundle
# unchanged byte for byte with the words the user would read; a good one takes its place
# and the new version runs. Prints the memory used while a 200 MB update downloads.
set -euo pipefail
build=${1:?usage: install_end_to_end.sh BUILD_DIR SIGN_TOOL}
sign=${2:?usage: install_end_to_end.sh BUILD_DIR SIGN_TOOL}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
cleanup() {
    declare -F site_stop >/dev/null && site_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
passed=0
ok() { passed=$((passed + 1)); echo "ok - $*"; }

# A private home: settings, cache (the working folders) and state.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
    XDG_STATE_HOME="$work/home/.local/state" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset OMBREL_BUNDLE_ID
export QT_QPA_PLATFORM=offscreen

# --- the bundle ---
bundle="$work/apps/ombrel-capture"
cmake --install "$build" --prefix "$bundle" >/dev/null
for f in bin/ombrel-capture share/applications/com.ombrel.capture.desktop \
    share/icons/hicolor/scalable/apps/com.ombrel.capture.svg share/ombrel-capture/bundle.json; do
    [[ -f "$bundle/$f" ]] || fail "the bundle lacks $f"
done
ls "$bundle"/share/ombrel-capture/update-keys/*.pem >/dev/null || fail "the bundle trusts no update key"
app="$bundle/bin/ombrel-capture"
version=$("$app" --version)
[[ "$version" =~ ^ombrel-capture\ [0-9]+\.[0-9]+ ]] || fail "the installed program says '$version'"
ok "cmake --install makes a bundle that runs ($version)"

# --- keys, authority, server ---
WORK=$work SIGN=$sign
source "$here/update_site.sh"
site_start || fail "the test site did not start"
site="$work/site"
cd "$work"
"$sign" public-key --key maker.pem >"$bundle/share/ombrel-capture/update-keys/test-maker.pem"
leftovers() { find "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" -maxdepth 3 -name 'ombrel-update-*' 2>/dev/null | wc -l; }

# Every bad update: the program says the words given and the bundle stays as it was.
expect_refused() { # what feed-url words…
    local what=$1 url=$2; shift 2
    local before after out status=0
    before=$(fingerprint "$bundle")
    out=$("$app" check-for-updates --feed "$url" --install 2>"$work/stderr") || status=$?
    after=$(fingerprint "$bundle")
    [[ "$before" == "$after" ]] || fail "$what: the bundle changed"
    for words in "$@"; do
        grep -qxF "$words" <<<"$out" || fail "$what: expected '$words', got: $out $(cat "$work/stderr")"
    done
    [[ $(leftovers) == 0 ]] || fail "$what: a working folder was left behind"
    ok "$what leaves the bundle unchanged: ${*: -1}"
}

make_update good.zip maker.pem 9.9.9 com.ombrel.capture
good_sha=$(sha "$site/good.zip")

expect_refused "a wrong digest" "$(feed wrong-digest 9.9.9 "$https/good.zip" "$(printf '0%.0s' {1..64})")" \
    "The update didn't install" "The download didn't match. Nothing was changed."
: >"$site/requests.log"
expect_refused "plain http" "$(feed plain 9.9.9 "http://127.0.0.1:$http_port/good.zip" "$good_sha")" \
    "Couldn't download it. Your current version still works."
! grep -q "good.zip" "$site/requests.log" || fail "plain http: the archive was requested"
expect_refused "a truncated download" "$(feed truncated 9.9.9 "$https/truncated/good.zip" "$good_sha")" \
    "Couldn't download it. Your current version still works."
grep -qE "did not download: .(Connection closed|the download ended after)" "$work/stderr" ||
    fail "the truncated download was not noticed as such: $(cat "$work/stderr")"

# An archive that tries to leave its folder (made by hand, as no tool of ours would); the
# other ways out of the folder are refused by the same unpacking, tried in ArchiveTest.
/usr/bin/python3 - "$site" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(os.path.join(sys.argv[1], "dotdot.zip"), "w") as z:
    z.writestr("ombrel-capture/bin/ombrel-capture", "#!/bin/sh\n")
    z.writestr("ombrel-capture/../../escaped.txt", "outside")
PY
expect_refused "an archive with ../ entries" "$(feed dotdot 9.9.9 "$https/dotdot.zip" "$(sha "$site/dotdot.zip")")" \
    "The update didn't install" \
    "Couldn't replace the app: The update holds “ombrel-capture/../../escaped.txt”, a path outside its folder."

# A manifest the bundle does not trust; its other faults (a changed file, another
# identifier) are found by the same check, tried in ManifestTest.
make_update stranger.zip stranger.pem 9.9.9 com.ombrel.capture
expect_refused "a manifest signed by an untrusted key" \
    "$(feed stranger 9.9.9 "$https/stranger.zip" "$(sha "$site/stranger.zip")")" \
    "The update isn't signed by us, so it wasn't installed."
current=${version#ombrel-capture }
expect_refused "an older version offered" "$(feed older 0.0.1 "$https/good.zip" "$good_sha")" \
    "You're up to date" "Version $current is the latest."

# --- the good update ---
out=$("$app" check-for-updates --feed "$(feed good 9.9.9 "$https/good.zip" "$good_sha")" --install) ||
    fail "the good update: $out"
grep -qxF "Version 9.9.9 is installed." <<<"$out" || fail "the good update said: $out"
[[ "$(fingerprint "$bundle")" == "$(fingerprint "$work/stage-good.zip/ombrel-capture")" ]] ||
    fail "the installed bundle is not the signed one"
[[ "$("$app" --version)" == "ombrel-capture 9.9.9" ]] || fail "the new version says $("$app" --version)"
out=$("$app" check-for-updates --feed "$https/good.json")
grep -qxF "Version 9.9.9 is the latest." <<<"$out" || fail "the new version's check said: $out"
[[ "$(ls -A "$work/apps")" == "ombrel-capture" ]] || fail "something was left beside the bundle: $(ls -A "$work/apps")"
[[ $(leftovers) == 0 ]] || fail "a working folder was left behind"
ok "a good update takes the bundle's place and the new version runs"

# --- memory while a 200 MB update downloads ---
big="$work/stage-big/ombrel-capture"
mkdir -p "$(dirname "$big")" && cp -a "$bundle" "$big"
head -c $((200 * 1024 * 1024)) /dev/urandom >"$big/share/ombrel-capture/padding.bin"
printf '{"identifier": "com.ombrel.capture", "version": "9.9.10"}\n' >"$big/share/ombrel-capture/bundle.json"
"$sign" --key maker.pem "$big" "$site/big.tar" >/dev/null 2>&1
rm -rf "$big"
peak_kib() { /usr/bin/time -f '%M' -o "$work/peak" "$@" >/dev/null 2>&1 || true; cat "$work/peak" | tail -1; }
idle=$(peak_kib "$app" check-for-updates --feed "$https/good.json")
download=$(peak_kib "$app" check-for-updates --feed "$(feed big-wrong 9.9.10 "$https/big.tar" "$(printf 'f%.0s' {1..64})")" --install)
install=$(peak_kib "$app" check-for-updates --feed "$(feed big 9.9.10 "$https/big.tar" "$(sha "$site/big.tar")")" --install)
[[ "$("$app" --version)" == "ombrel-capture 9.9.10" ]] || fail "the 200 MB update did not install"
echo "peak memory: idle check $((idle / 1024)) MiB; downloading 200 MB $((download / 1024)) MiB" \
    "(+$(((download - idle) / 1024)) MiB); installing it $((install / 1024)) MiB (+$(((install - idle) / 1024)) MiB)"
((download - idle < 64 * 1024)) || fail "downloading used $(((download - idle) / 1024)) MiB above idle"
ok "a 200 MB update downloads in less than 64 MiB above idle"
echo "$passed passed, 0 failed"
