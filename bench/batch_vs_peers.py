#!/usr/bin/env python3
"""kelvarin-batch against its peers on the same generated folder.

Generates a deterministic folder of mixed files (many small text files, a few large text files,
structured binary records and incompressible random data; about 140 MB), then compresses it
three ways and prints time, output size and ratio for each:

  kelvarin-batch   one archive per file, the program under test
  zip -6 -q -X -j  Info-ZIP, one run and one archive per file (the process start is included)
  zlib deflate     Python's zlib, raw deflate at level 6 in 16 KiB blocks, in-process: the cost
                   of the compression alone, no files written, no Zip headers

Not a test: nothing is asserted. Usage:
  python3 bench/batch_vs_peers.py [--program build/src/app/kelvarin-batch] [--keep DIR]
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

SEED = 20240601
BLOCK = 16384

WORDS = ("archive folder index deflate kelvarin zip entry header central directory record "
         "file name sequence extension field progress panel timer pass search listing "
         "圧縮 書庫 一覧 日本語 テキスト 2024 0x5C 12:30 error none ok").split()


def sentences(rng, count):
    return [" ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))) + "\n"
            for _ in range(count)]


def text_bytes(rng, pool, size):
    out = []
    total = 0
    while total < size:
        chunk = "".join(rng.choices(pool, k=256)).encode("utf-8")
        out.append(chunk)
        total += len(chunk)
    return b"".join(out)[:size]


def record_bytes(rng, size):
    # Fixed-width little-endian records with slowly changing fields, like a log or a table dump.
    out = bytearray()
    counter = 0
    while len(out) < size:
        counter += rng.randint(1, 3)
        out += counter.to_bytes(4, "little") + rng.randint(0, 255).to_bytes(1, "little")
        out += b"\x00" * 3 + (counter * 7919 % 65536).to_bytes(2, "little") + b"REC\x1e"
    return bytes(out[:size])


def generate(folder):
    rng = random.Random(SEED)
    pool = sentences(rng, 4000)
    plan = []
    for i in range(1500):
        plan.append((f"note{i:04d}.txt", "text", rng.randint(1, 40) * 1024))
    for i in range(4):
        plan.append((f"server-{i}.log", "text", 15 * 1024 * 1024))
    for i in range(20):
        plan.append((f"table{i:02d}.dat", "records", 1024 * 1024))
    for i in range(3):
        plan.append((f"noise{i}.bin", "random", 10 * 1024 * 1024))
    for name, kind, size in plan:
        if kind == "text":
            data = text_bytes(rng, pool, size)
        elif kind == "records":
            data = record_bytes(rng, size)
        else:
            data = rng.randbytes(size)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return sorted(os.listdir(folder))


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))


def timed(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def run_kelvarin(program, source, output):
    subprocess.run([program, source, output], check=True, stdout=subprocess.DEVNULL)


def run_zip(names, source, output):
    for name in names:
        subprocess.run(["zip", "-6", "-q", "-X", "-j", os.path.join(output, name + ".zip"),
                        os.path.join(source, name)], check=True)


def run_zlib(names, source):
    total = 0
    for name in names:
        deflater = zlib.compressobj(6, zlib.DEFLATED, -15)
        with open(os.path.join(source, name), "rb") as f:
            while block := f.read(BLOCK):
                total += len(deflater.compress(block))
        total += len(deflater.flush())
    return total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default="build/src/app/kelvarin-batch")
    parser.add_argument("--keep", help="generate into this folder and keep everything")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        sys.exit(f"no kelvarin-batch at {program}; build it first or pass --program")

    work = args.keep or tempfile.mkdtemp(prefix="kel-bench-")
    source, out_kel, out_zip = (os.path.join(work, d) for d in ("source", "kelvarin", "zip"))
    for d in (source, out_kel, out_zip):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    try:
        names = generate(source)
        size = folder_bytes(source)
        # Read everything once so that no contender pays for a cold cache.
        run_zlib(names, source)

        results = []
        t = timed(lambda: run_kelvarin(program, source, out_kel + "/"))
        kel_archives = [n for n in os.listdir(out_kel) if n.endswith(".zip")]
        results.append(("kelvarin-batch", t, sum(os.path.getsize(os.path.join(out_kel, n))
                                                 for n in kel_archives)))
        t = timed(lambda: run_zip(names, source, out_zip))
        results.append(("zip -6 per file", t, folder_bytes(out_zip)))
        deflated = [0]
        t = timed(lambda: deflated.__setitem__(0, run_zlib(names, source)))
        results.append(("zlib deflate -15, level 6", t, deflated[0]))

        print(f"input: {len(names)} files, {size / 1e6:.1f} MB "
              f"({len(kel_archives)} archives from kelvarin-batch)")
        print(f"{'contender':<28}{'seconds':>9}{'MB/s':>9}{'output MB':>12}{'ratio':>9}")
        for label, seconds, out_size in results:
            print(f"{label:<28}{seconds:>9.2f}{size / 1e6 / seconds:>9.1f}"
                  f"{out_size / 1e6:>12.3f}{out_size / size:>9.4f}")
        kel_t, kel_size = results[0][1], results[0][2]
        for label, seconds, out_size in results[1:]:
            print(f"kelvarin-batch / {label}: time x{kel_t / seconds:.2f}, "
                  f"size x{kel_size / out_size:.4f} ({kel_size - out_size:+d} bytes)")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
