#!/usr/bin/env bash
# Every text marked for translation in src/ is translated in each po/<language>.po, and no
# translation there is fuzzy or missing; msgfmt also checks each translation's format
# directives against its English text.
#   check_catalogues.sh <repository>
set -euo pipefail
repository=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -DXGETTEXT=xgettext -DSOURCE_DIR="$repository" -DOUTPUT="$work/kelvarin.pot" \
  -P "$repository/po/make_template.cmake"

status=0
for po in "$repository"/po/*.po; do
  # msgcmp counts fuzzy and untranslated entries of the .po as missing.
  if ! LC_ALL=C msgcmp "$po" "$work/kelvarin.pot"; then
    echo "$po: texts of the sources are missing (above)"
    status=1
  fi
  # Entries whose texts are gone from the sources would only mislead translators.
  if ! LC_ALL=C msgcmp --use-untranslated "$work/kelvarin.pot" "$po" 2>"$work/stale"; then
    sed 's/^/  /' "$work/stale"
    echo "$po: entries no longer in the sources (above)"
    status=1
  fi
  statistics=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "$po" 2>&1) || status=1
  echo "$po: $statistics"
  case "$statistics" in
    *fuzzy* | *untranslated*) status=1 ;;
  esac
done
exit $status
