#!/usr/bin/env bash
# Makes the Windows release: dist/kelvarin-<version>-windows-x64.zip, holding kelvarin.exe,
# kelvarin-batch.exe, README.txt (Japanese and English, for
# Notepad: UTF-8 with a byte-order mark, CR LF) and LICENSE. The version is the CMake project's.
#
# The programs are built for Release into their own folder (build-release-win/, or the one
# KELVARIN_RELEASE_BUILD names), linked statically and stripped, without the PE time stamp, and
# the zip's entries carry the time of the last commit (or SOURCE_DATE_EPOCH): the same sources
# give the same zip. Then the zip itself is checked: the icon, version block and manifest of each
# program (tests/support/check_windows_resources.py), and, unpacked into a fresh Wine prefix
# that holds nothing else, kelvarin-batch.exe --help and a run on a small folder whose archives
# must pass unzip -t and give back the files' bytes: the programs need nothing beside them.
# Installs what is missing: the cross compiler, zlib for mingw, Wine, icoutils, unzip and the
# ja_JP.UTF-8 locale (the check runs as Japanese Windows).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KELVARIN_RELEASE_BUILD:-build-release-win}

fail() {
  echo "release-windows: $*" >&2
  exit 1
}

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 icoutils unzip python3 locales
  xvfb xauth x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "release-windows: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "release-windows: generating the ja_JP.UTF-8 locale"
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# --- Build ----------------------------------------------------------------------------------
# -s strips the programs; without the time stamp the same sources link to the same bytes. The
# toolchain file adds -static to every link.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKELVARIN_BUILD_TESTS=OFF \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s -Wl,--no-insert-timestamp" >/dev/null
cmake --build "$build" -j2

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
batch=$build/src/batch/kelvarin-batch.exe
window=$build/src/window/kelvarin.exe
[ -f "$batch" ] || fail "$batch was not built"
[ -f "$window" ] || fail "$window was not built, and a release needs it"
programs=("$window" "$batch")
for program in "${programs[@]}"; do
  if x86_64-w64-mingw32-objdump -h "$program" | grep -q '\.debug_' ||
    ! x86_64-w64-mingw32-nm "$program" 2>&1 | grep -q 'no symbols'; then
    fail "$program is not stripped"
  fi
done

# --- The zip --------------------------------------------------------------------------------
mkdir -p dist
zip=dist/kelvarin-$version-windows-x64.zip
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
python3 - "$zip" "$version" "$SOURCE_DATE_EPOCH" packaging/windows/README.txt LICENSE \
  "${programs[@]}" <<'EOF'
import os, sys, time, zipfile

out, version, epoch, readme, licence, *programs = sys.argv[1:]
# MS-DOS times have no zone and start in 1980; the commit's UTC time, as a date a reader shows.
stamp = time.gmtime(max(int(epoch), 315532800))[:6]

def windows_text(path, bom):
    with open(path, encoding="utf-8") as file:
        text = file.read().replace("@VERSION@", version)
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    return ("\ufeff" if bom else "").encode("utf-8") + text.encode("utf-8")

entries = []
for program in programs:
    with open(program, "rb") as file:
        entries.append((os.path.basename(program), file.read()))
entries.append(("README.txt", windows_text(readme, bom=True)))  # Notepad reads it as UTF-8
entries.append(("LICENSE", windows_text(licence, bom=False)))  # ASCII

partial = out + ".part"
with zipfile.ZipFile(partial, "w") as archive:
    for name, data in entries:
        info = zipfile.ZipInfo(name, stamp)
        info.create_system = 0  # MS-DOS: no Unix permissions to carry
        info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE, as Windows' own zip writes
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compresslevel=9)
os.replace(partial, out)
EOF
echo "release-windows: wrote $zip ($(stat -c %s "$zip") bytes)"

# --- Check the zip as a user gets it ---------------------------------------------------------
check=$(mktemp -d "${TMPDIR:-/tmp}/kelvarin-release.XXXXXX")
cleanup() {
  if [ -d "$check/prefix" ]; then WINEPREFIX=$check/prefix wineserver -k 2>/dev/null || true; fi
  rm -rf "$check"
}
trap cleanup EXIT

export WINEPREFIX=$check/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 TZ=Asia/Tokyo
echo "release-windows: checking the zip in a fresh Wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w
app=$WINEPREFIX/drive_c/Kelvarin
unzip -q "$zip" -d "$app"
want_entries=$(for p in "${programs[@]}"; do basename "$p"; done; echo README.txt; echo LICENSE)
have_entries=$(cd "$app" && ls -1)
[ "$(sort <<<"$want_entries")" = "$(sort <<<"$have_entries")" ] ||
  fail "the zip holds: $(echo $have_entries); expected: $(echo $want_entries)"
python3 - "$app/README.txt" <<'EOF' || fail "README.txt is not UTF-8 with a BOM and CR LF lines"
import sys
data = open(sys.argv[1], "rb").read()
text = data[3:].decode("utf-8")
assert data.startswith(b"\xef\xbb\xbf") and text.endswith("\r\n")
assert text.count("\r") == text.count("\n") == text.count("\r\n")
EOF

for program in "${programs[@]}"; do
  name=$(basename "$program")
  extra=()
  if [ "$name" = kelvarin.exe ]; then extra=(--common-controls); fi
  python3 tests/support/check_windows_resources.py "$app/$name" --version "$version" \
    --assets assets --sizes 16 32 48 120 256 "${extra[@]}" || fail "$name: resources differ"
done

# The window program starts and shows its window titled "Kelvarin" on a virtual display (a
# missing DLL would end it at once with an error instead); then it is ended.
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wine "C:\Kelvarin\kelvarin.exe" & sleep 8
  xwininfo -root -tree | grep -q "\"Kelvarin\"" || exit 3
  wineserver -k' || status=$?
[ "$status" = 0 ] || fail "kelvarin.exe did not show its window in a fresh Wine prefix ($status)"

wine 'C:\Kelvarin\kelvarin-batch.exe' --help >"$check/help.txt" ||
  fail "kelvarin-batch.exe --help failed under Wine"
grep -q 'kelvarin-batch' "$check/help.txt" || fail "kelvarin-batch.exe --help printed no usage"

# A small folder: empty, text, random bytes, a Japanese name, two files of one extension.
python3 - "$WINEPREFIX/drive_c/work/in" <<'EOF'
import os, random, sys
folder = sys.argv[1]
os.makedirs(folder)
rng = random.Random(7)
files = {"empty": b"", "notes.txt": b"hello, Windows\r\n" * 500,
         "report.docx": bytes(rng.getrandbits(8) for _ in range(70000)),
         "見積書.xlsx": bytes(rng.getrandbits(8) for _ in range(5000)),
         "second.txt": b"x" * 16385}
for name, data in files.items():
    with open(os.path.join(folder, name), "wb") as file:
        file.write(data)
EOF
mkdir "$WINEPREFIX/drive_c/work/out"
wine 'C:\Kelvarin\kelvarin-batch.exe' 'C:\work\in' 'C:\work\out' >"$check/run.txt" ||
  fail "kelvarin-batch.exe failed under Wine: $(iconv -f CP932 -t UTF-8 "$check/run.txt" || true)"
iconv -f CP932 -t UTF-8 "$check/run.txt" | tr -d '\r' | tail -1 | grep -qx '圧縮が完了しました．' ||
  fail "kelvarin-batch.exe did not report completion"
python3 - "$WINEPREFIX/drive_c/work" <<'EOF' || fail "the archives of the check run are not right"
import os, subprocess, sys
work = sys.argv[1]
source, out = os.path.join(work, "in"), os.path.join(work, "out")
lines = open(os.path.join(out, "files.txt"), "rb").read().decode("cp932").split("\r\n")
assert lines[-1] == "", "files.txt does not end in CR LF"
pairs = [line.split("\t") for line in lines[:-1]]
bases = {os.path.splitext(name)[0]: name for name in os.listdir(source)}
assert sorted(base for _, base in pairs) == sorted(bases), f"files.txt lists {pairs}"
archives = {name.upper(): name for name in os.listdir(out) if name != "files.txt"}
assert sorted(archives) == sorted(archive for archive, _ in pairs), sorted(archives)
for archive, base in pairs:
    path = os.path.join(out, archives[archive])
    subprocess.run(["unzip", "-tq", path], check=True, stdout=subprocess.DEVNULL)
    data = subprocess.run(["unzip", "-p", path], check=True, stdout=subprocess.PIPE).stdout
    with open(os.path.join(source, bases[base]), "rb") as file:
        assert data == file.read(), f"{archive} does not give back {bases[base]}"
print(f"release-windows: {len(pairs)} archives pass unzip -t and give back their files")
EOF
echo "release-windows: $zip is good"
