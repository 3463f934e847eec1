#!/usr/bin/env python3
"""Checks every archive that the Windows tests left for the outside readers.

usage: check_deferred.py FOLDER

Each sub-folder of FOLDER holds archive.zip, the expected contents (files named by index) and
manifest.json as check_zip.py reads it, plus the encoding the names are stored in. Runs
check_zip.py on each, prints every problem with the test that made the archive, and exits 1
when there is one (or when there is nothing to check at all, which means the tests did not run).
"""
import json
import os
import subprocess
import sys

folder = sys.argv[1]
checker = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_zip.py")
cases = sorted(d for d in os.listdir(folder) if os.path.isdir(os.path.join(folder, d))) \
    if os.path.isdir(folder) else []
failed = 0
for case in cases:
    path = os.path.join(folder, case)
    if not os.path.isfile(os.path.join(path, "manifest.json")):
        failed += 1
        print("%s: left incomplete by the test (no manifest.json)" % case)
        continue
    with open(os.path.join(path, "manifest.json")) as f:
        encoding = json.load(f).get("encoding", "utf-8")
    r = subprocess.run([sys.executable, checker, os.path.join(path, "archive.zip"), path, encoding],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if r.returncode != 0:
        failed += 1
        print("%s:\n%s" % (case, r.stdout.decode(errors="replace")))
print("%d archives written under Wine checked by unzip, 7-Zip, bsdtar and Python's zipfile: "
      "%d rejected" % (len(cases), failed))
sys.exit(1 if failed or not cases else 0)
