#!/usr/bin/env bash
# A long run of the scripted stress session (not part of CI): several seeds,
# many steps each. Usage: tests/stress_long.sh [steps] [seed...]
# Set FOTRA_BUILD_DIR to run it in another build, e.g. build-asan.
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-20000}
shift || true
seeds=("$@")
[ ${#seeds[@]} -eq 0 ] && seeds=(1 2 3 4 5)
build=${FOTRA_BUILD_DIR:-build}
FOTRA_BUILD_DIR=$build bash scripts/build.sh
for seed in "${seeds[@]}"; do
  echo "seed $seed, $steps steps"
  FOTRA_STRESS_STEPS=$steps FOTRA_STRESS_SEED=$seed QT_QPA_PLATFORM=offscreen "$build/tests/tst_stress"
done
