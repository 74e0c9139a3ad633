#!/usr/bin/env bash
# Builds every test suite with ThreadSanitizer into build-tsan (or
# $FOTRA_TSAN_BUILD_DIR) and runs them. Qt's own calls are left out of the
# checks by tests/tsan.supp, which CTest passes on.
set -euo pipefail
cd "$(dirname "$0")/.."
tsan=${FOTRA_TSAN_BUILD_DIR:-build-tsan}
FOTRA_BUILD_DIR=$tsan FOTRA_CMAKE_ARGS="${FOTRA_CMAKE_ARGS:-} -DFOTRA_TSAN=ON -DFOTRA_ASAN=OFF" bash scripts/build.sh desktop-file-utils
cd "$tsan"
ctest --output-on-failure -j"$(nproc)"
