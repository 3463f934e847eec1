#!/usr/bin/env bash
# Makes the Debian package from a configured and built folder (cpack -G DEB) and checks it with
# lintian: any error, and any warning but the one expected, fails. scripts/package.sh runs it on
# its release build; CTest on the test build (packaging.deb). The tools come from scripts/setup.sh.
# Usage: scripts/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: scripts/check_deb.sh BUILD_DIR}" && pwd)
for tool in cpack dpkg-shlibdeps file lintian; do
  command -v "$tool" >/dev/null || { echo "check_deb: $tool is missing: run scripts/setup.sh" >&2; exit 1; }
done

# Files 644, folders and programs 755, whatever the caller's umask.
umask 022
rm -f "$build"/kelvarin_*.deb
if ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
  cat "$build/cpack.log" >&2
  exit 1
fi
debs=("$build"/kelvarin_*.deb)
deb=${debs[0]}
echo "check_deb: $deb"

# initial-upload-closes-no-bugs: the changelog's first entry closes no Debian bug, as the
# package is not uploaded to Debian (there is no "intent to package" bug to close).
expected_warnings='^W: kelvarin: initial-upload-closes-no-bugs '
status=0
report=$(lintian --display-info --pedantic "$deb" 2>&1) || status=$?
echo "$report"
# lintian exits 1 for errors in the package (reported below), higher when it could not check.
if [ "$status" -gt 1 ]; then
  echo "check_deb: lintian failed (exit status $status)" >&2
  exit 1
fi
unexpected=$(grep -E '^[EW]: ' <<<"$report" | grep -Ev "$expected_warnings" || true)
if [ -n "$unexpected" ]; then
  echo "check_deb: lintian reports errors or new warnings:" >&2
  echo "$unexpected" >&2
  exit 1
fi
echo "check_deb: lintian reports no errors and no unexpected warnings"
