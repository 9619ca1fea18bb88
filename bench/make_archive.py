#!/usr/bin/env python3
"""Writes the benchmarks' generated archive: about MEGABYTES of a few thousand files (random
bytes, text and zeros, some stored, most deflated), the same bytes for the same arguments.

    make_archive.py ARCHIVE [MEGABYTES] [TOP]

TOP, when given, is one top-level folder that holds every entry, as in the product archive."""
import random
import sys
import zipfile

path = sys.argv[1]
megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 100
top = sys.argv[3] + "/" if len(sys.argv) > 3 else ""
rng = random.Random(2026)
words = ("setup install product folder file archive window value registry "
         "version update license option default system path data").split()
text_block = " ".join(rng.choice(words) for _ in range(300000)).encode()
zero_block = bytes(1 << 20)
total, target, index = 0, megabytes * 1000 * 1000, 0
with zipfile.ZipFile(path, "w") as z:
    while total < target:
        kind = index % 3
        size = min(int(1024 * 2 ** rng.uniform(0, 7)), target - total)  # 1 KB .. 128 KB
        if index % 997 == 0:
            size = min(4 * 1000 * 1000, target - total)  # a few large files
        name = top + f"d{index % 23:02d}/s{index % 7}/f{index:05d}." + ("bin", "txt", "dat")[kind]
        if kind == 0:
            data, method = rng.randbytes(size), (zipfile.ZIP_STORED if index % 2 else zipfile.ZIP_DEFLATED)
        elif kind == 1:
            start = rng.randrange(0, len(text_block) - 1)
            data = (text_block[start:] + text_block)[:size]
            method = zipfile.ZIP_DEFLATED
        else:
            data, method = (zero_block * (size // len(zero_block) + 1))[:size], zipfile.ZIP_DEFLATED
        info = zipfile.ZipInfo(name, date_time=(2026, 12, 7, 12, 0, 0))
        info.compress_type = method
        z.writestr(info, data)
        total += size
        index += 1
print(f"{index} files, {total / 1e6:.1f} MB uncompressed")
