#!/usr/bin/env bash
# Remakes docs/screenshot.png: the window under a virtual X server (Xvfb with Qt's xcb
# platform) after a whole run over a copy of the repository's samples/ folder.
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
command -v convert >/dev/null || { apt-get update -qq && apt-get install -y -qq imagemagick; }
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target window_screenshot
work="${TMPDIR:-/tmp}/kelvarin-demo"
rm -rf "$work"
mkdir -p "$work/samples" "$work/out"
cp -a samples/. "$work/samples/"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/window/window_screenshot" "$work/samples/" "$work/out/" "$work/shot.bmp"
convert "$work/shot.bmp" -strip docs/screenshot.png
rm -rf "$work"
