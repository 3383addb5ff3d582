#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit, widget and
# end-to-end under a private X desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check_format.sh
bash scripts/build.sh
cd build
# End-to-end tests drive real programs (Chromium, the X server, the window manager) whose
# timing varies on a loaded machine: a failed test is run once more before it counts.
ctest --output-on-failure -j2 --timeout 600 --repeat until-pass:2
