#!/usr/bin/env bash
# Installs what the benchmark needs (vipsthumbnail is its outside reference),
# builds Release into build-bench/ and runs it; arguments go to fotra_bench
# (--help lists them). Not part of CI or the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
export FOTRA_BUILD_DIR=${FOTRA_BENCH_BUILD_DIR:-build-bench}
FOTRA_CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Release" bash scripts/build.sh libvips-tools
QT_QPA_PLATFORM=offscreen exec "$FOTRA_BUILD_DIR/bench/fotra_bench" "$@"
