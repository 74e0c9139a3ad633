#!/usr/bin/env bash
# Builds the viewer and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec "${FOTRA_BUILD_DIR:-build}/app/Fotra" "$@"
