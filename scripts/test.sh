#!/usr/bin/env bash
# Builds everything and runs every test suite (offscreen; no display needed),
# then builds the same suites with AddressSanitizer and UndefinedBehavior-
# Sanitizer into build-asan (or $FOTRA_ASAN_BUILD_DIR) and runs them again.
# FOTRA_SKIP_ASAN=1 stops after the first run. ThreadSanitizer: scripts/test-tsan.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh desktop-file-utils # desktop-file-validate, for the install check
(cd "${FOTRA_BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)")
if [ "${FOTRA_SKIP_ASAN:-0}" != 1 ]; then
  asan=${FOTRA_ASAN_BUILD_DIR:-build-asan}
  FOTRA_BUILD_DIR=$asan FOTRA_CMAKE_ARGS="${FOTRA_CMAKE_ARGS:-} -DFOTRA_ASAN=ON -DFOTRA_TSAN=OFF" bash scripts/build.sh desktop-file-utils
  (cd "$asan" && ctest --output-on-failure -j"$(nproc)")
fi
