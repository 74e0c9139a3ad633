#!/usr/bin/env bash
# Refreshes docs/screenshot.png: makes a folder of pictures in a throw-away
# home, opens the window on it under a virtual display and saves the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh xvfb xauth >/dev/null
build=${FOTRA_BUILD_DIR:-build}
cmake --build "$build" --target fotra_screenshot >/dev/null
home=$(mktemp -d "${TMPDIR:-/tmp}/fotra-screenshot.XXXXXX")/yuki
trap 'rm -rf "$(dirname "$home")"' EXIT
mkdir -p "$home/.config" "$home/Desktop" "$home/Documents" "$home/Downloads" "$home/.run"
chmod 700 "$home/.run"
cat > "$home/.config/user-dirs.dirs" <<'DIRS'
XDG_DESKTOP_DIR="$HOME/Desktop"
XDG_DOCUMENTS_DIR="$HOME/Documents"
XDG_DOWNLOAD_DIR="$HOME/Downloads"
XDG_PICTURES_DIR="$HOME/Pictures"
DIRS
XDG_RUNTIME_DIR=$home/.run QT_QPA_PLATFORM=offscreen "$build/tools/fotra_screenshot" pictures "$home/Pictures"
mkdir -p docs
# Step 1 of the slider: thumbnails of 150.
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home/.run QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tools/fotra_screenshot" grab "$home/Pictures/旅行" 1 docs/screenshot.png
echo "docs/screenshot.png: $(stat -c %s docs/screenshot.png) bytes"
