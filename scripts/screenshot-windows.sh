#!/usr/bin/env bash
# Remakes docs/screenshot-windows.png: kelvarin.exe's window under Wine (as Japanese Windows)
# on a virtual X server, after a whole run over a copy of the repository's samples/ folder.
# Uses the Windows build and Wine prefix of scripts/test-windows.sh (build-win/, or the folder
# KELVARIN_WINDOWS_BUILD names); run that once first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KELVARIN_WINDOWS_BUILD:-build-win}
[ -f "$build/wine-prefix/system.reg" ] || { echo "run scripts/test-windows.sh first" >&2; exit 1; }
command -v convert >/dev/null || { apt-get update -qq && apt-get install -y -qq imagemagick; }
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 TZ=Asia/Tokyo
cmake --build "$build" --target window_screenshot
work="$WINEPREFIX/drive_c/kelvarin-demo"
rm -rf "$work"
mkdir -p "$work/samples" "$work/out"
cp -a samples/. "$work/samples/"
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  wine "$build/tests/window/window_screenshot.exe" 'C:\kelvarin-demo\samples\' \
  'C:\kelvarin-demo\out\' 'C:\kelvarin-demo\shot.bmp'
convert "$work/shot.bmp" -strip docs/screenshot-windows.png
rm -rf "$work"
