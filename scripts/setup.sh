#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test. Idempotent: when all
# are present it only checks and returns.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config          # toolchain
  zlib1g-dev libjpeg-dev qt6-base-dev       # libraries the program links
  libutf8proc-dev                           # Unicode composition of names (Linux only)
  libgtest-dev libgmock-dev libbenchmark-dev  # tests and benchmarks
  unzip zip 7zip libarchive-tools python3   # outside Zip readers for the tests, zip for benchmarks
  pigz                                      # benchmark peer
  fonts-ipafont-gothic                      # window font
  xvfb xauth x11-apps imagemagick           # a real X server for the window and its screenshot
  gettext                                   # msgfmt, xgettext, msgcmp for the translations (po/)
  locales                                   # a UTF-8 locale
  desktop-file-utils appstream              # checks of the desktop file and the AppStream metadata
  man-db groff-base bash-completion         # checks of the manual pages and the completion
  dpkg-dev file lintian                     # the Debian package (CPack runs dpkg-shlibdeps) and its check
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Japanese locale: kelvarin-batch's own texts are tested in it as well as in C.UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen
fi
