#!/usr/bin/env bash
# Configures and builds into ./build (ccache is used when present).
set -euo pipefail
cd "$(dirname "$0")/.."
# Let ccache share results between clones in different folders.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
