#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from app/desktop/fotra.svg.
# The PNGs are committed; run this again after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh librsvg2-bin
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "app/desktop/fotra-$size.png" app/desktop/fotra.svg
done
