#!/usr/bin/env bash
# Runs one test program on a private 1280 × 800 X desktop: on_desktop.sh TEST PNGPROBE
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
trap desktop_stop EXIT
desktop_start 1280x800
export PNGPROBE=$2
timeout 240 "$1"
