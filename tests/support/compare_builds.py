#!/usr/bin/env python3
"""kelvarin-batch.exe under Wine against the Linux build: the same archives, byte for byte.

usage: compare_builds.py LINUX_PROGRAM WINE WINDOWS_PROGRAM

Makes a folder of ASCII-named files (the sizes around the entry buffer, empty, text, random,
read-only; no name with a leading ".", which is hidden by its name on Linux and not on Windows,
where hidden is an attribute), runs both programs on it in the same time zone, and compares every archive (matched
by the base name in files.txt, since the two systems list a folder in different orders) and the
index's lines. Exits 1 on the first difference.
"""
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile

linux, wine, windows = sys.argv[1], sys.argv[2], sys.argv[3]
work = tempfile.mkdtemp(prefix="kel-compare-")
try:
    source = os.path.join(work, "in")
    os.makedirs(source)
    rng = random.Random(42)
    files = {"empty": b"", "one.b": b"x", "notes.txt": b"hello world\r\n" * 3000,
             "report.docx": bytes(rng.getrandbits(8) for _ in range(100000)),
             "page.markdown": b"# title\n" * 2048, "Makefile": b"all:\n\ttrue\n",
             "data.backup.tar.gz": bytes(rng.getrandbits(8) for _ in range(16385)),
             "16383.bin": b"a" * 16383, "16384.bin": b"b" * 16384,
             "read-only.txt": b"keep me\n"}
    for name, data in files.items():
        path = os.path.join(source, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (1700000000, 1700000001 + len(name)))
    os.chmod(os.path.join(source, "read-only.txt"), stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    outputs = {}
    for system, command in (("linux", [linux]), ("windows", [wine, windows])):
        out = os.path.join(work, system)
        os.makedirs(out)
        folders = [source, out] if system == "linux" else ["Z:" + source, "Z:" + out]
        r = subprocess.run(command + folders, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if r.returncode != 0:
            sys.exit("%s build failed (%d): %s" % (system, r.returncode, r.stderr.decode(errors="replace")))
        index = {}
        with open(os.path.join(out, "files.txt"), "rb") as f:
            for line in f.read().split(b"\r\n"):
                if line:
                    listing, base = line.split(b"\t")
                    index[base] = (listing, open(os.path.join(out, listing.lower().decode()), "rb").read())
        outputs[system] = index
    if sorted(outputs["linux"]) != sorted(outputs["windows"]):
        sys.exit("the index lists other files: %r / %r" % (sorted(outputs["linux"]), sorted(outputs["windows"])))
    for base, (listing, archive) in sorted(outputs["linux"].items()):
        other_listing, other = outputs["windows"][base]
        if listing[4:] != other_listing[4:]:
            sys.exit("archive names differ for %r: %r / %r" % (base, listing, other_listing))
        if archive != other:
            at = next(i for i in range(min(len(archive), len(other))) if archive[i] != other[i]) \
                if archive[:min(len(archive), len(other))] != other[:min(len(archive), len(other))] \
                else min(len(archive), len(other))
            sys.exit("the archives of %r differ from byte %d on" % (base, at))
    print("%d archives from kelvarin-batch.exe under Wine equal the Linux build's byte for byte"
          % len(outputs["linux"]))
finally:
    for root, dirs, names in os.walk(work):
        for name in names:
            os.chmod(os.path.join(root, name), stat.S_IRUSR | stat.S_IWUSR)
    shutil.rmtree(work, ignore_errors=True)
