#!/usr/bin/env bash
# Installs what is missing and builds. With a display it starts the desktop program kelvarin;
# without one it archives the repository's samples/ folder into out/ with kelvarin-batch and
# shows the index it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build --target kelvarin
  exec ./build/src/window/kelvarin
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the batch demo instead of the window."
cmake --build build --target kelvarin-batch
mkdir -p out
# Only this run's archives stay in out/ (an earlier run may have had more files).
LC_ALL=C find out -maxdepth 1 -type f \( -name '[0-9][0-9][0-9][0-9]????.zip' -o -name files.txt \) -delete
./build/src/batch/kelvarin-batch samples/ out/
echo
echo "out/files.txt (archive name, TAB, base name):"
tr -d '\r' < out/files.txt
