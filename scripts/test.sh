#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (the slow ones only with
# KELVARIN_SLOW_TESTS=1): first the Linux build, then the Windows build under Wine
# (scripts/test-windows.sh; KELVARIN_WINDOWS_TESTS=0 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
label_args=(-LE slow)
if [ "${KELVARIN_SLOW_TESTS:-0}" = "1" ]; then label_args=(); fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 "${label_args[@]}"
if [ "${KELVARIN_WINDOWS_TESTS:-1}" != "0" ]; then
  bash scripts/test-windows.sh build/src/batch/kelvarin-batch
fi
