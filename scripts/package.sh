#!/usr/bin/env bash
# Builds the Debian package kelvarin_<version>-<revision>_amd64.deb in a build folder of its own
# (default build-deb/: Debian's hardening flags, no tests) and checks it with lintian
# (scripts/check_deb.sh). Install the result with: apt-get install ./build-deb/kelvarin_*.deb
# Usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${1:-build-deb}

# Debian's compiler and linker flags with every hardening feature (a build folder keeps the
# flags of its first configuration). CMake does not read CPPFLAGS, so they join the others.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS" CFLAGS="$CFLAGS $CPPFLAGS"
umask 022
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2
bash scripts/check_deb.sh "$build"
