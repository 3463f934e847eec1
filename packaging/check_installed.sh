#!/usr/bin/env bash
# Checks what an installation holds (the tree the Debian package ships): run by CTest, see
# tests.cmake. Usage: check_installed.sh CHECK STAGE [BUILD_DIR]
#   stage       install BUILD_DIR into the empty folder STAGE with prefix /usr (runs first)
#   files       exactly the expected files; manual pages and changelog gzip'd as Debian wants;
#               the copyright file carries LICENSE
#   icons       each icon has the size its folder names; the icon drawn at 120 pixels is the
#               window's icon (assets/kelvarin.png) pixel for pixel
#   desktop     desktop-file-validate says nothing; Exec and Icon name what is installed
#   metainfo    appstreamcli validate --no-net passes, for the file and for the installed tree
#               (whose desktop file the launchable must name)
#   manpages    man finds both pages and renders them without a warning, Japanese text included;
#               every option of kelvarin-batch --help is documented
#   completion  bash -n; the completion offers options, encodings and folders as it should
# Environment: KELVARIN_BATCH (the built kelvarin-batch), KELVARIN_SOURCE_DIR, KELVARIN_GUI
# (ON when the desktop program is built), MAKE_PICTURES (the picture tool, with KELVARIN_GUI).
set -euo pipefail

check=$1
stage=$2
usr=$stage/usr
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

gui() { [ "${KELVARIN_GUI:-OFF}" = ON ]; }

# The long options kelvarin-batch's --help lists.
help_options() { LC_ALL=C.UTF-8 "$KELVARIN_BATCH" --help | grep -o -- '--[a-z][a-z-]*' | sort -u; }

check_stage() {
  local build=$3
  rm -rf "$stage"
  mkdir -p "$stage"
  DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
}

check_files() {
  local expected=(
    bin/kelvarin-batch
    share/bash-completion/completions/kelvarin-batch
    share/doc/kelvarin/changelog.Debian.gz
    share/doc/kelvarin/copyright
    share/locale/ja/LC_MESSAGES/kelvarin.mo
    share/man/man1/kelvarin-batch.1.gz
  )
  if gui; then
    expected+=(
      bin/kelvarin
      share/applications/kelvarin.desktop
      share/icons/hicolor/128x128/apps/kelvarin.png
      share/icons/hicolor/256x256/apps/kelvarin.png
      share/icons/hicolor/48x48/apps/kelvarin.png
      share/man/man1/kelvarin.1.gz
      share/metainfo/io.github.kelvarin.Kelvarin.metainfo.xml
      share/pixmaps/kelvarin.png
    )
  fi
  local want have
  want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
  have=$(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
  if [ "$want" != "$have" ]; then
    fail "installed files differ from the expected ones:"
    diff <(echo "$want") <(echo "$have") >&2 || true
  fi
  # Header of each .gz: flags without a stored name (bit 3), no time stamp, "best" (XFL 2).
  local gz header
  for gz in $(cd "$usr" && find . -name '*.gz'); do
    gzip -t "$usr/$gz" || fail "$gz is no valid gzip file"
    header=$(od -An -tu1 -N9 "$usr/$gz" | tr -s ' ')
    read -r -a h <<<"$header"
    if (((h[3] & 8) != 0 || h[4] + h[5] + h[6] + h[7] != 0 || h[8] != 2)); then
      fail "$gz is not compressed with gzip -9n (header:$header)"
    fi
  done
  local copyright=$usr/share/doc/kelvarin/copyright
  head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in Debian's machine-readable format"
  local line
  while IFS= read -r line; do
    [ -z "$line" ] && continue
    grep -qxF -- " $line" "$copyright" || fail "copyright lacks the LICENSE line: $line"
  done < <(sed '1,/^Copyright (c)/d' "$KELVARIN_SOURCE_DIR/LICENSE")
}

check_icons() {
  gui || return 0
  local size found
  for size in 48 128 256; do
    found=$(identify -format '%m %wx%h' "$usr/share/icons/hicolor/${size}x${size}/apps/kelvarin.png")
    [ "$found" = "PNG ${size}x${size}" ] || fail "icon ${size}x${size} is $found"
  done
  local drawn differing
  drawn=$(mktemp --suffix=.png)
  "$MAKE_PICTURES" --icon 120 "$drawn"
  differing=$(compare -metric AE "$drawn" "$KELVARIN_SOURCE_DIR/assets/kelvarin.png" null: 2>&1 || true)
  rm -f "$drawn"
  [ "$differing" = 0 ] ||
    fail "the icon drawn at 120 pixels differs from assets/kelvarin.png ($differing pixels): remake the assets"
}

check_desktop() {
  gui || return 0
  local file=$usr/share/applications/kelvarin.desktop report
  report=$(desktop-file-validate "$file" 2>&1) || fail "desktop-file-validate failed"
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  local exec icon
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$file")
  icon=$(sed -n 's/^Icon=//p' "$file")
  [ -x "$usr/bin/$exec" ] || fail "Exec=$exec is not an installed program"
  [ -f "$usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "Icon=$icon is not an installed icon"
}

check_metainfo() {
  gui || return 0
  local file=$usr/share/metainfo/io.github.kelvarin.Kelvarin.metainfo.xml
  appstreamcli validate --no-net "$file" >&2 || fail "appstreamcli validate failed"
  # The tree as a whole: the launchable names an installed desktop file.
  appstreamcli validate-tree --no-net "$usr" >&2 || fail "appstreamcli validate-tree failed"
}

check_manpages() {
  local pages=(kelvarin-batch)
  gui && pages+=(kelvarin)
  local page path text warnings option
  for page in "${pages[@]}"; do
    path=$(MANPATH=$usr/share/man man -w "$page" 2>/dev/null || true)
    if [ "$path" != "$usr/share/man/man1/$page.1.gz" ]; then
      fail "man does not find $page(1) (got '$path')"
      continue
    fi
    warnings=$(mktemp)
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$path" 2>"$warnings") ||
      fail "man cannot render $page(1)"
    [ -s "$warnings" ] && fail "man --warnings on $page(1): $(cat "$warnings")"
    rm -f "$warnings"
    grep -q "^NAME" <<<"$text" || fail "$page(1) renders without a NAME section"
    grep -qF '圧縮が完了しました．' <<<"$text" || fail "$page(1) lost its Japanese text"
  done
  # Each option has an entry of its own: a line "       --name" or "       -x, --name".
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$usr/share/man/man1/kelvarin-batch.1.gz" 2>/dev/null || true)
  for option in $(help_options); do
    grep -qE -- "^ {7}(-[a-zA-Z], )?$option([ =]|\$)" <<<"$text" ||
      fail "kelvarin-batch(1) has no entry for $option"
  done
}

# The completions bash would offer for the command line $1 (the cursor at its end), one per
# line, sorted. Words are split as bash splits them ("=" is a word of its own).
completions() {
  local line=$1 part
  local -a parts words
  read -r -a parts <<<"$line"
  for part in "${parts[@]}"; do
    if [[ $part == --*=* ]]; then
      words+=("${part%%=*}" "=")
      [ -n "${part#*=}" ] && words+=("${part#*=}")
    else
      words+=("$part")
    fi
  done
  [[ $line == *" " ]] && words+=("")
  bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    shift
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _kelvarin_batch kelvarin-batch "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$script" "$line" "${words[@]}" | LC_ALL=C sort | sed '/^$/d'
}

check_completion() {
  script=$usr/share/bash-completion/completions/kelvarin-batch
  bash -n "$script" || fail "bash -n $script"
  local dir
  dir=$(mktemp -d)
  mkdir "$dir/sub" "$dir/sub2"
  touch "$dir/file.txt"
  local all_options
  all_options=$(help_options | tr '\n' ' ')
  # command line (cursor at the end) | expected completions, space-separated
  local cases=(
    "kelvarin-batch --enc|--encoding"
    "kelvarin-batch --|${all_options% }"
    "kelvarin-batch --encoding |cp932 system utf-8"
    "kelvarin-batch --encoding=u|utf-8"
    "kelvarin-batch --encoding=|cp932 system utf-8"
    "kelvarin-batch $dir/|$dir/sub $dir/sub2"
    "kelvarin-batch $dir/sub2 $dir/s|$dir/sub $dir/sub2"
    "kelvarin-batch -j 2 --encoding cp932 $dir/s|$dir/sub $dir/sub2"
    "kelvarin-batch $dir/sub $dir/sub2 $dir/|"
    "kelvarin-batch $dir/sub $dir/sub2 --v|--verify --version"
    "kelvarin-batch -- --x $dir/s|$dir/sub $dir/sub2"
    "kelvarin-batch -- --|"
    "kelvarin-batch --verify $dir/s|$dir/sub $dir/sub2"
  )
  local entry line expected got
  for entry in "${cases[@]}"; do
    IFS='|' read -r line expected <<<"$entry"
    got=$(completions "$line" | tr '\n' ' ')
    got=${got% }
    [ "$got" = "$expected" ] || fail "completing '$line': got '$got', expected '$expected'"
  done
  got=$(completions "kelvarin-batch -j ")
  grep -qx 1 <<<"$got" || fail "completing 'kelvarin-batch -j ' does not offer 1 ($got)"
  rm -rf "$dir"
}

"check_$check" "$@"
if [ "$failures" -gt 0 ]; then
  echo "$check: $failures check(s) failed" >&2
  exit 1
fi
echo "$check: all checks passed"
