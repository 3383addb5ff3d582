#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit, widget and
# end-to-end under a private X desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cd build
ctest --output-on-failure -j2 --timeout 600
