#!/usr/bin/env bash
# Builds everything and runs every test suite (offscreen; no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh desktop-file-utils # desktop-file-validate, for the install check
cd "${FOTRA_BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)"
