#!/usr/bin/env bash
# Builds kelvarin-batch.exe and the tests for 64-bit Windows (mingw-w64, statically linked) into
# build-win/ (or the folder KELVARIN_WINDOWS_BUILD names, with its own Wine prefix inside) and
# runs every test under Wine as Japanese Windows: ANSI code page 932 (LANG=ja_JP.UTF-8), Tokyo
# time (one test also in Berlin, for daylight saving). The archives the tests write are checked by
# the four outside readers on the Linux side afterwards, and kelvarin-batch.exe must write the
# same bytes as the Linux build given as the first argument (default:
# build/src/batch/kelvarin-batch, which scripts/test.sh builds first). The window tests of
# kelvarin.exe run on a virtual X server (Xvfb).
# Installs what is missing: the cross compiler, zlib for mingw, Wine and its fonts, GoogleTest's
# sources, icoutils (the programs' icon, version and manifest are read back with it), the
# ja_JP.UTF-8 locale, IPA P Gothic and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_batch=${1:-build/src/batch/kelvarin-batch}
build=${KELVARIN_WINDOWS_BUILD:-build-win}

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 fonts-wine googletest icoutils
          locales fonts-ipafont-gothic xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-windows: installing ${missing[*]}"
  # One package list per run is enough: setup.sh may have fetched it a moment ago.
  if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -mmin -60 2>/dev/null)" ]; then
    $sudo apt-get update -qq
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "test-windows: generating the ja_JP.UTF-8 locale"
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# Wine as Japanese Windows in a prefix of the build's own, made once (its first start takes a
# while); Wine's console and debug chatter off.
mkdir -p "$build"
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 TZ=Asia/Tokyo
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "test-windows: making the Wine prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# The prefix as the window tests need it, once per prefix:
# - Wine has no "ＭＳ Ｐゴシック": the window's font name is mapped to the metric-compatible IPA
#   P Gothic, as Windows would resolve it to MS P Gothic;
# - Wine's own fonts (Marlett draws the caption buttons, Tahoma) where the prefix looks for them;
# - no window manager runs on Xvfb: Wine draws the frames itself (Decorated=N) and places its
#   windows unmanaged (Managed=N), or it waits two seconds for a window manager at every hidden
#   window;
# - a test program that crashes ends with the debugger's report, not with a dialog on the
#   virtual screen that nobody answers.
gui_settings="$WINEPREFIX/kelvarin-window-tests-2"
if [ ! -f "$gui_settings" ]; then
  echo "test-windows: readying the Wine prefix for the window tests"
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*.ttf; do ln -sf "$font" "$fonts/"; done
  touch "$gui_settings"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKELVARIN_LINUX_BATCH="$PWD/$linux_batch" >/dev/null
cmake --build "$build" -j2
# One virtual screen for the whole run; Wine's windows open on it. Everything Wine starts below
# runs on it: its desktop process, started without a screen, would refuse every window after.
# - one wine server for the whole run: left to itself it exits a moment after its last client,
#   and a test program starting in that moment fails with "recvmsg: connection reset";
# - Wine's own services (services.exe, winedevice.exe...) start with the first program and keep
#   its standard output open while the server lives: start them here, on /dev/null, so that no
#   test's output stays open after the test.
wineserver -w
trap 'wineserver -k 2>/dev/null || true' EXIT
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  wineserver -p
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1
  ctest --test-dir "$1" --output-on-failure -j2' bash "$build"
