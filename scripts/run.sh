#!/usr/bin/env bash
# Installs what is missing, builds, registers the program with the desktop (the
# ombrel-capture:// links and "Open with") and starts it. Without an X display it starts
# a private one (Xvfb with a window manager and a tray) and says how to look at it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
app="$PWD/build/ombrel-capture"

apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
sed "s|^Exec=.*|Exec=\"$app\" %U|" resources/com.ombrel.capture.desktop >"$apps/com.ombrel.capture.desktop"
if command -v xdg-mime >/dev/null; then
    xdg-mime default com.ombrel.capture.desktop x-scheme-handler/ombrel-capture || true
fi
command -v update-desktop-database >/dev/null && update-desktop-database "$apps" >/dev/null 2>&1 || true

if [ -z "${DISPLAY:-}" ]; then
    source tests/e2e/desktop.sh
    trap desktop_stop EXIT
    DESKTOP_NEW_USER=1 desktop_start 1920x1080
    echo "No display was set, so Ombrel Capture runs on the private display $DISPLAY."
    echo "Look at it with: DISPLAY=$DISPLAY import -window root screen.png"
    "$app" "$@"
else
    exec "$app" "$@"
fi
