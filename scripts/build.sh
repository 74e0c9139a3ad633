#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or $FOTRA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh cmake g++ make pkg-config qt6-base-dev qt6-image-formats-plugins libgl-dev fonts-noto-cjk "$@"
build=${FOTRA_BUILD_DIR:-build}
cmake -S . -B "$build" ${FOTRA_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
