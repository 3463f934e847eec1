#!/usr/bin/env python3
"""kelvarin-batch against the tools a user could pick instead, on the same files.

Generates two deterministic corpora and, for each, writes one Zip archive per file with every
contender, three times (the median counts), from a warm page cache:

  kelvarin-batch -j1      the program under test, file by file (the window's pass)
  kelvarin-batch          the same with its default, one job per core
  kelvarin-batch --parallel-deflate
                          all cores, files of 16 MiB or more deflated in blocks on all of them
  zlib reference          bench/zlib_reference.cpp: the same archives written serially with
                          nothing but zlib and system calls (compiled here, -O2, system zlib)
  zlib reference x N      N reference processes, each every N-th file, into the one folder
  zip -6 loop             Info-ZIP, one process per file from a shell loop
  zip -6 xargs -P N       the same through xargs on all cores
  7zz -tzip -mx=5         7-Zip, one process per file from a shell loop
  pigz -K -6 -pN          pigz's Zip output, one process per file, each on all N cores
  python zipfile          ZIP_DEFLATED level 6, one process writing all archives

Then the wall time of a run on a folder of one small file (40 runs, next to the reference's).
Then the check of a delivery on the mixed corpus's output: kelvarin-batch --check (file by file
and on all cores, without and with SOURCE) against `unzip -tqq` over the archives one by one.

Contenders take turns, one run each per round. Corpora: "mixed" (many small text, CSV and
JSON files, a few large logs, binary tables, already-compressed data; about 100 MB), "small"
(3000 files of 0.2 to 8 KB), "4k" (3000 files of at most 4 KiB) and "onebig" (one log of
160 MiB, where only block deflate uses more than one core). Then the peak resident memory of kelvarin-batch on a
4 GiB sparse file (with and without --verify, and its --check).

Everything runs in a folder on tmpfs (/dev/shm) when there is one, so that the disk and other
processes' write-back do not decide the result; --work names another place.

Prints each contender's median seconds, MB/s of input, its throughput as a multiple of the
zlib reference's (above 1: faster than the least work the format needs, on one core), and the
output size; then the targets.
Not a test: nothing fails. A full run takes about four minutes on two cores.

usage: python3 bench/batch_vs_peers.py [--program build/src/batch/kelvarin-batch]
                                       [--runs 3] [--work DIR] [--keep DIR] [--skip-memory]
                                       [--corpora mixed,small,4k,onebig] [--peers pigz,zip]
                                       [--only-check]
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zlib

SEED = 20240601
HERE = os.path.dirname(os.path.abspath(__file__))

WORDS = ("archive folder index deflate kelvarin zip entry header central directory record "
         "file name sequence extension field progress panel timer pass search listing value "
         "圧縮 書庫 一覧 日本語 テキスト 2024 0x5C 12:30 error none ok the of and to in is").split()


# --- corpora -----------------------------------------------------------------------------

def text_bytes(rng, pool, size):
    out, total = [], 0
    while total < size:
        chunk = "".join(rng.choices(pool, k=64)).encode("utf-8")
        out.append(chunk)
        total += len(chunk)
    return b"".join(out)[:size]


def csv_bytes(rng, size):
    rows, total, n = [], 0, 0
    while total < size:
        n += 1
        row = "%d,%s,%d.%02d,%s,%d\n" % (n, rng.choice(WORDS), rng.randint(0, 9999),
                                          rng.randint(0, 99), rng.choice(("yes", "no")),
                                          rng.randint(1, 10 ** 6))
        rows.append(row)
        total += len(row)
    return "".join(rows).encode()[:size]


def json_bytes(rng, size):
    items, total = [], 0
    while total < size:
        item = '{"id": %d, "name": "%s", "tags": ["%s", "%s"], "score": %.3f},\n' % (
            rng.randint(1, 10 ** 6), rng.choice(WORDS), rng.choice(WORDS), rng.choice(WORDS),
            rng.random())
        items.append(item)
        total += len(item)
    return ("[\n" + "".join(items)).encode()[:size]


def record_bytes(rng, size):
    # Fixed-width little-endian records with slowly changing fields, like a table dump.
    out, counter = bytearray(), 0
    while len(out) < size:
        counter += rng.randint(1, 3)
        out += counter.to_bytes(4, "little") + rng.randint(0, 255).to_bytes(1, "little")
        out += b"\x00" * 3 + (counter * 7919 % 65536).to_bytes(2, "little") + b"REC\x1e"
    return bytes(out[:size])


def compressed_bytes(rng, pool, size):
    # Already-compressed data (a .gz or a picture): deflate output of text, which deflate
    # cannot shrink again.
    data = zlib.compress(text_bytes(rng, pool, size * 4), 9)
    while len(data) < size:
        data += zlib.compress(text_bytes(rng, pool, size * 4), 9)
    return data[:size]


def make(folder, plan, rng, pool):
    os.makedirs(folder)
    for name, kind, size in plan:
        if kind == "text":
            data = text_bytes(rng, pool, size)
        elif kind == "csv":
            data = csv_bytes(rng, size)
        elif kind == "json":
            data = json_bytes(rng, size)
        elif kind == "records":
            data = record_bytes(rng, size)
        elif kind == "compressed":
            data = compressed_bytes(rng, pool, size)
        else:
            data = rng.randbytes(size)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def generate(root):
    rng = random.Random(SEED)
    pool = [" ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))) + "\n"
            for _ in range(4000)]
    mixed = []
    for i in range(900):
        mixed.append((f"note{i:04d}.txt", "text", rng.randint(1, 40) * 1024))
    for i in range(150):
        mixed.append((f"sheet{i:03d}.csv", "csv", rng.randint(4, 120) * 1024))
    for i in range(150):
        mixed.append((f"data{i:03d}.json", "json", rng.randint(2, 60) * 1024))
    for i in range(3):
        mixed.append((f"server-{i}.log", "text", 12 * 1024 * 1024))
    for i in range(16):
        mixed.append((f"table{i:02d}.dat", "records", 768 * 1024))
    for i in range(30):
        mixed.append((f"photo{i:02d}.jpg", "compressed", rng.randint(100, 400) * 1024))
    mixed.append(("backup.tar.gz", "compressed", 6 * 1024 * 1024))
    mixed.append(("noise.bin", "random", 4 * 1024 * 1024))
    make(os.path.join(root, "mixed"), mixed, rng, pool)

    small = []
    kinds = ("text", "csv", "json", "records", "random")
    for i in range(3000):
        kind = kinds[i % len(kinds)]
        small.append((f"item{i:04d}.{kind[:3]}", kind, rng.randint(200, 8192)))
    make(os.path.join(root, "small"), small, rng, pool)

    tiny = []
    for i in range(3000):
        kind = kinds[i % len(kinds)]
        tiny.append((f"item{i:04d}.{kind[:3]}", kind, rng.randint(200, 4096)))
    make(os.path.join(root, "4k"), tiny, rng, pool)

    make(os.path.join(root, "onebig"), [("server.log", "text", 160 * 1024 * 1024)], rng, pool)
    return ["mixed", "small", "4k", "onebig"]


# --- contenders --------------------------------------------------------------------------

def sh(script, *args):
    subprocess.run(["sh", "-c", script, "sh"] + list(args), check=True,
                   stdout=subprocess.DEVNULL)


PYTHON_ZIPFILE = r"""
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
for name in os.listdir(src):
    with zipfile.ZipFile(os.path.join(out, name + ".zip"), "w", zipfile.ZIP_DEFLATED,
                         compresslevel=6) as z:
        z.write(os.path.join(src, name), name)
"""


def contenders(program, reference, cores):
    return [
        ("kelvarin-batch -j1",
         lambda s, o: subprocess.run([program, "--jobs", "1", s, o], check=True,
                                     stdout=subprocess.DEVNULL)),
        (f"kelvarin-batch (all {cores} cores)",
         lambda s, o: subprocess.run([program, s, o], check=True, stdout=subprocess.DEVNULL)),
        ("kelvarin-batch --parallel-deflate",
         lambda s, o: subprocess.run([program, "--parallel-deflate", s, o], check=True,
                                     stdout=subprocess.DEVNULL)),
        ("zlib reference (serial)",
         lambda s, o: subprocess.run([reference, s, o], check=True)),
        (f"zlib reference x {cores}",
         lambda s, o: [p.wait() for p in [subprocess.Popen([reference, s, o, f"{k}/{cores}"])
                                          for k in range(cores)]]),
        ("zip -6 loop",
         lambda s, o: sh('cd "$1" && for f in *; do zip -6 -q -X -j "$2/$f.zip" "$f"; done',
                         s, o)),
        (f"zip -6 xargs -P {cores}",
         lambda s, o: sh('cd "$1" && printf "%s\\0" * | xargs -0 -P "$3" -I{} '
                         'zip -6 -q -X -j "$2/{}.zip" "{}"', s, o, str(cores))),
        ("7zz a -tzip -mx=5 loop",
         lambda s, o: sh('cd "$1" && for f in *; do 7zz a -tzip -mx=5 -bso0 -bsp0 '
                         '"$2/$f.zip" "$f"; done', s, o)),
        (f"pigz -K -6 -p{cores} loop",
         lambda s, o: sh('cd "$1" && for f in *; do pigz -K -6 -p "$3" -c "$f" > "$2/$f.zip"; '
                         'done', s, o, str(cores))),
        ("python zipfile level 6",
         lambda s, o: subprocess.run([sys.executable, "-c", PYTHON_ZIPFILE, s, o], check=True)),
    ]


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))


def archive_contents(folder):
    return sorted(open(os.path.join(folder, n), "rb").read()
                  for n in os.listdir(folder) if n.endswith(".zip"))


def measure_once(corpus, out, action):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    start = time.perf_counter()
    action(corpus, out)
    return time.perf_counter() - start


def warm(folder):
    for n in os.listdir(folder):
        with open(os.path.join(folder, n), "rb") as f:
            while f.read(1 << 20):
                pass


def bench_corpus(name, corpus, work, program, reference, cores, runs, only):
    size = folder_bytes(corpus)
    count = len(os.listdir(corpus))
    warm(corpus)
    print(f"\n{name}: {count} files, {size / 1e6:.1f} MB; median of {runs} runs")
    # Round by round, every contender once per round: a passing disturbance of the machine then
    # touches all of them alike instead of one contender's every run.
    # kelvarin-batch and the reference always; the peers as chosen.
    entries = [e for e in contenders(program, reference, cores)
               if e[0].startswith(("kelvarin", "zlib")) or not only
               or any(e[0].startswith(o) for o in only)]
    outs = [os.path.join(work, "out-%d" % i) for i in range(len(entries))]
    times = [[] for _ in entries]
    for _ in range(runs):
        for i, (_, action) in enumerate(entries):
            times[i].append(measure_once(corpus, outs[i], action))
    results = {label: (statistics.median(times[i]), folder_bytes(outs[i]), outs[i])
               for i, (label, _) in enumerate(entries)}
    ref = results["zlib reference (serial)"][0]
    print(f"{'contender':<36}{'seconds':>9}{'MB/s':>9}{'x reference':>13}{'output MB':>11}")
    for label, (seconds, out_size, _) in results.items():
        print(f"{label:<36}{seconds:>9.2f}{size / 1e6 / seconds:>9.1f}"
              f"{ref / seconds:>13.2f}{out_size / 1e6:>11.2f}")
    j1_label, all_label = "kelvarin-batch -j1", f"kelvarin-batch (all {cores} cores)"
    same = archive_contents(results[j1_label][2]) == archive_contents(
        results["zlib reference (serial)"][2])
    print(f"zlib reference archives byte-identical to kelvarin-batch's: {'yes' if same else 'NO'}")
    j1, jall = results[j1_label][0], results[all_label][0]
    par = results["kelvarin-batch --parallel-deflate"]
    refs = results[f"zlib reference x {cores}"][0]
    print(f"targets: -j1 = {ref / j1:.2f}x reference; all cores = {ref / jall:.2f}x reference, "
          f"{refs / jall:.2f}x {cores} reference processes; --parallel-deflate = "
          f"{ref / par[0]:.2f}x reference, output {par[1] / results[all_label][1]:.4f}x the "
          f"serial size")
    for _, _, out in results.values():
        shutil.rmtree(out, ignore_errors=True)


def bench_one_file(work, program, reference, runs=40):
    """Wall time of a run on a folder with one small file, as a script calling the program
    once per folder pays it: the start and the end of a run, with next to nothing between."""
    folder = os.path.join(work, "one-file")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    with open(os.path.join(folder, "note.txt"), "w") as f:
        f.write("one small file\n")
    out = os.path.join(work, "one-out")
    series = {"kelvarin-batch": [], "zlib reference (serial)": []}
    for _ in range(runs):
        series["kelvarin-batch"].append(measure_once(
            folder, out, lambda s, o: subprocess.run([program, s, o], check=True,
                                                     stdout=subprocess.DEVNULL)))
        series["zlib reference (serial)"].append(measure_once(
            folder, out, lambda s, o: subprocess.run([reference, s, o], check=True)))
    shutil.rmtree(out, ignore_errors=True)
    print(f"\none file of 15 bytes, {runs} runs each, wall time in ms")
    print(f"{'program':<28}{'median':>8}{'9 of 10 under':>15}{'max':>8}{'under 15 ms':>13}")
    for label, times in series.items():
        ms = sorted(t * 1000 for t in times)
        print(f"{label:<28}{statistics.median(ms):>8.1f}{ms[(len(ms) * 9) // 10 - 1]:>15.1f}"
              f"{ms[-1]:>8.1f}{sum(t < 15 for t in ms):>9} of {len(ms)}")


def bench_check(corpus, work, program, cores, runs):
    """Reading a delivery back: --check against unzip -t over the same archives."""
    out = os.path.join(work, "check-out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run([program, corpus, out], check=True, stdout=subprocess.DEVNULL)
    warm(out)
    warm(corpus)
    size = folder_bytes(out)
    count = sum(1 for n in os.listdir(out) if n.endswith(".zip"))

    def check(*args):
        return lambda: subprocess.run([program, "--check", *args], check=True,
                                      stdout=subprocess.DEVNULL)

    entries = [
        ("unzip -tqq loop",
         lambda: sh('cd "$1" && for f in *.zip; do unzip -tqq "$f" || exit 1; done', out)),
        ("--check -j1 OUTPUT", check("--jobs", "1", out)),
        (f"--check OUTPUT (all {cores} cores)", check(out)),
        ("--check -j1 SOURCE OUTPUT", check("--jobs", "1", corpus, out)),
        (f"--check SOURCE OUTPUT (all {cores})", check(corpus, out)),
    ]
    times = [[] for _ in entries]
    for _ in range(runs):
        for i, (_, action) in enumerate(entries):
            start = time.perf_counter()
            action()
            times[i].append(time.perf_counter() - start)
    medians = [statistics.median(t) for t in times]
    print(f"\ncheck of the mixed output: {count} archives, {size / 1e6:.1f} MB; "
          f"median of {runs} runs")
    print(f"{'reader':<34}{'seconds':>9}{'MB/s':>9}{'x unzip':>9}")
    for (label, _), seconds in zip(entries, medians):
        print(f"{label:<34}{seconds:>9.2f}{size / 1e6 / seconds:>9.1f}"
              f"{medians[0] / seconds:>9.2f}")
    print(f"targets: --check -j1 reads {medians[0] / medians[1]:.2f}x as fast as unzip -tqq "
          f"(>= 1); on all cores {medians[0] / medians[2]:.2f}x (>= 1.8)")
    shutil.rmtree(out, ignore_errors=True)


def peak_memory(program, work):
    folder = os.path.join(work, "sparse")
    out = os.path.join(work, "sparse-out")
    os.makedirs(folder)
    os.makedirs(out)
    with open(os.path.join(folder, "disk.img"), "wb") as f:
        f.truncate(4 << 30)
    print("\npeak resident memory, one 4 GiB sparse file:")
    for extra in ([], ["--verify"], ["--check"]):
        # The check reads the archive the runs before it wrote, against its source.
        command = [program] + extra + [folder, out]
        start = time.perf_counter()
        if shutil.which("time") or os.path.exists("/usr/bin/time"):
            r = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True, check=True)
            kb = next(int(line.split(":")[1]) for line in r.stderr.splitlines()
                      if "Maximum resident set size" in line)
        else:
            probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True, "
                     "stdout=subprocess.DEVNULL); "
                     "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
            kb = int(subprocess.run([sys.executable, "-c", probe] + command, check=True,
                                    stdout=subprocess.PIPE, text=True).stdout)
        seconds = time.perf_counter() - start
        archive = folder_bytes(out)
        print(f"  kelvarin-batch {' '.join(extra):<10} {kb / 1024:6.1f} MB resident (target < 20)"
              f", {seconds:.1f} s, archive {archive / 1e6:.1f} MB")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(out, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default="build/src/batch/kelvarin-batch")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--keep", help="work in this folder and keep the corpora")
    parser.add_argument("--work", help="make the temporary work folder in this folder")
    parser.add_argument("--skip-memory", action="store_true")
    parser.add_argument("--only-check", action="store_true",
                        help="measure only the check of a delivery")
    parser.add_argument("--corpora", default="mixed,small,4k,onebig",
                        help="which corpora, comma-separated")
    parser.add_argument("--peers", default="",
                        help="only the peers whose label starts so (comma-separated: zip,pigz)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        sys.exit(f"no kelvarin-batch at {program}; build it first or pass --program")
    for tool in ("zip", "7zz", "pigz", "c++"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (scripts/setup.sh installs the peers)")

    parent = args.work
    if parent is None and os.path.isdir("/dev/shm") and shutil.disk_usage("/dev/shm").free > 2e9:
        parent = "/dev/shm"
    work = os.path.abspath(args.keep or tempfile.mkdtemp(prefix="kel-bench-", dir=parent))
    os.makedirs(work, exist_ok=True)
    cores = os.cpu_count() or 1
    try:
        reference = os.path.join(work, "zlib_reference")
        subprocess.run(["c++", "-O2", "-std=c++20", "-o", reference,
                        os.path.join(HERE, "zlib_reference.cpp"), "-lz"], check=True)
        corpora = os.path.join(work, "corpora")
        if not os.path.isdir(corpora):
            os.makedirs(corpora)
            generate(corpora)
        model = subprocess.run(["sh", "-c", "lscpu | sed -n 's/^Model name: *//p'"],
                               stdout=subprocess.PIPE, text=True).stdout.strip()
        load = os.getloadavg()[0]
        print(f"machine: {cores} cores, {model or 'unknown CPU'}; work folder {work}; "
              f"load average before: {load:.2f}")
        if load > 0.5:
            print("warning: the machine is busy; the figures below are not to be trusted")
        if not args.only_check:
            for name in args.corpora.split(","):
                bench_corpus(name, os.path.join(corpora, name), work, program, reference, cores,
                             args.runs, [p for p in args.peers.split(",") if p])
            bench_one_file(work, program, reference)
        bench_check(os.path.join(corpora, "mixed"), work, program, cores, args.runs)
        if not args.skip_memory and not args.only_check:
            peak_memory(program, work)
        print(f"\nload average after: {os.getloadavg()[0]:.2f}")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
        else:
            for name in os.listdir(work):
                if name != "corpora":
                    shutil.rmtree(os.path.join(work, name), ignore_errors=True)


if __name__ == "__main__":
    main()
