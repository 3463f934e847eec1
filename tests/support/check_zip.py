#!/usr/bin/env python3
"""Checks one archive with readers we did not write.

usage: check_zip.py ARCHIVE EXPECTED_DIR ENCODING

EXPECTED_DIR holds manifest.json ({"entries": [[name_hex, file_index], ...]}) and the expected
contents as files named by index. Names are the UTF-8 form of each entry name; ENCODING is the
encoding the archive stores them in ("utf-8" or "cp932"). Prints every problem and exits 1 when
there is one.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import zipfile

archive, expected_dir, encoding = sys.argv[1], sys.argv[2], sys.argv[3]
problems = []

with open(os.path.join(expected_dir, "manifest.json")) as f:
    manifest = json.load(f)
expected = {}
for name_hex, index in manifest["entries"]:
    with open(os.path.join(expected_dir, str(index)), "rb") as f:
        expected[bytes.fromhex(name_hex).decode("utf-8")] = f.read()


def run(args):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if r.returncode != 0:
        problems.append("%s exited %d:\n%s" % (" ".join(args), r.returncode,
                                                r.stdout.decode(errors="replace")[-2000:]))
    return r.returncode == 0


seven = shutil.which("7z") or shutil.which("7zz") or "7z"
cp_args = ["-mcp=932"] if encoding == "cp932" else []
bsd_opts = ["--options", "hdrcharset=CP932"] if encoding == "cp932" else []
# Debian's unzip has no -O and turns names of MS-DOS archives into Latin-1 as if they were an
# OEM code page, and 7-Zip on Linux writes non-UTF-8 names as raw bytes whatever -mcp says. So
# with CP932 names, unzip's extraction is compared by contents only and 7-Zip's names are
# decoded from their raw bytes; Python and bsdtar read the names themselves.
unzip_opts = []

# Integrity tests.
run(["unzip", "-tqq"] + unzip_opts + [archive])
run([seven, "t", "-bso0", "-bsp0"] + cp_args + [archive])
run(["bsdtar"] + bsd_opts + ["-tf", archive])

# Python's zipfile: names, CRCs and contents.
try:
    kwargs = {"metadata_encoding": encoding} if encoding != "utf-8" else {}
    with zipfile.ZipFile(archive, **kwargs) as z:
        bad = z.testzip()
        if bad is not None:
            problems.append("zipfile: bad CRC in %r" % bad)
        names = z.namelist()
        if sorted(names) != sorted(expected):
            problems.append("zipfile: names %r, expected %r" % (names, sorted(expected)))
        for name in names:
            if name in expected and z.read(name) != expected[name]:
                problems.append("zipfile: content of %r differs" % name)
except Exception as e:  # noqa: BLE001 - any failure of the reader is a finding
    problems.append("zipfile: %s: %s" % (type(e).__name__, e))

# Extraction by the three outside tools, compared with the expected bytes. Names that would
# leave the folder or hold a backslash are only checked above.
extractable = all("\\" not in n and not n.startswith("/") and ".." not in n.split("/")
                  for n in expected)
if extractable:
    for tool in ("unzip", "7z", "bsdtar"):
        out = tempfile.mkdtemp(prefix="kel-extract-")
        try:
            if tool == "unzip" and encoding == "cp932":
                # A CP932 name whose second byte is 0x5C makes unzip warn (status 1) that the
                # archive uses backslashes as separators; the contents are still checked.
                r = subprocess.run(["unzip", "-qq", "-o", archive, "-d", out],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                text = r.stdout.decode(errors="replace")
                ok = r.returncode == 0 or (r.returncode == 1 and "backslashes" in text)
                if not ok:
                    problems.append("unzip exited %d:\n%s" % (r.returncode, text[-2000:]))
            elif tool == "unzip":
                ok = run(["unzip", "-qq", "-o"] + unzip_opts + [archive, "-d", out])
            elif tool == "7z":
                ok = run([seven, "x", "-y", "-bso0", "-bsp0"] + cp_args + ["-o" + out, archive])
            else:
                ok = run(["bsdtar"] + bsd_opts + ["-xf", archive, "-C", out])
            if not ok:
                continue
            found = {}
            for root, _, files in os.walk(out):
                for fn in files:
                    full = os.path.join(root, fn)
                    name = os.path.relpath(full, out)
                    if encoding == "cp932" and tool == "7z":
                        name = os.fsencode(name).decode("cp932", errors="replace")
                    with open(full, "rb") as f:
                        found[name] = f.read()
            if encoding == "cp932" and tool == "unzip":
                if sorted(found.values()) != sorted(expected.values()):
                    problems.append("unzip extracted other contents")
                continue
            wanted = expected
            if tool == "bsdtar":
                # libarchive composes UTF-8 names (NFC) as it extracts them, whatever was stored.
                wanted = {unicodedata.normalize("NFC", n): d for n, d in expected.items()}
            if sorted(found) != sorted(wanted):
                problems.append("%s extracted %r, expected %r" % (tool, sorted(found), sorted(wanted)))
            for name, data in wanted.items():
                if name in found and found[name] != data:
                    problems.append("%s: content of %r differs" % (tool, name))
        finally:
            shutil.rmtree(out, ignore_errors=True)

if problems:
    print("\n".join(problems))
    sys.exit(1)
