#!/usr/bin/env python3
"""Builds the product archive zav.zip from the product folder and the built launcher.

The same inputs always give the same bytes: entries in a fixed order (the product
folder first, then every path sorted byte-wise, so a folder precedes its contents),
one fixed timestamp, MS-DOS attributes, no archive comment. Folders are stored,
files deflated.

    make_zip.py OUTPUT SOURCE_ROOT LAUNCHER          write the archive
    make_zip.py --check ARCHIVE SOURCE_ROOT LAUNCHER  rebuild twice in memory and
                                                      compare with ARCHIVE
"""
import io
import os
import sys
import zipfile

PRODUCT_FOLDER = "ZAV 1.00 beta 8"
LAUNCHER_NAME = "Zav.exe"
# 2009-12-24 12:00:00, inside the DOS date range and independent of the time zone.
TIMESTAMP = (2009, 12, 24, 12, 0, 0)
MSDOS = 0
DOS_DIRECTORY = 0x10
DOS_ARCHIVE = 0x20
EXPECTED_ENTRIES = 26


def collect(source_root, launcher):
    """(name inside the archive, bytes or None for a folder), in archive order."""
    product = os.path.join(source_root, PRODUCT_FOLDER)
    if not os.path.isdir(product):
        sys.exit(f"make_zip: no product folder {product!r}")
    entries = {PRODUCT_FOLDER + "/": None}
    for folder, subfolders, files in os.walk(product):
        relative = os.path.relpath(folder, source_root).replace(os.sep, "/")
        for name in subfolders:
            entries[f"{relative}/{name}/"] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                entries[f"{relative}/{name}"] = f.read()
    launcher_entry = f"{PRODUCT_FOLDER}/{LAUNCHER_NAME}"
    if launcher_entry in entries:
        sys.exit(f"make_zip: {launcher_entry!r} must come from the build, not the source tree")
    with open(launcher, "rb") as f:
        entries[launcher_entry] = f.read()
    for name in entries:
        if not name.isascii() or "\\" in name:
            sys.exit(f"make_zip: entry name {name!r} must be plain ASCII with '/' separators")
    return sorted(entries.items(), key=lambda item: item[0].encode("ascii"))


def build(source_root, launcher):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as archive:
        for name, data in collect(source_root, launcher):
            info = zipfile.ZipInfo(name, date_time=TIMESTAMP)
            info.create_system = MSDOS
            if data is None:
                info.compress_type = zipfile.ZIP_STORED
                info.external_attr = DOS_DIRECTORY
                data = b""
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = DOS_ARCHIVE
            archive.writestr(info, data, compresslevel=9)
    return out.getvalue()


def check_layout(data):
    """The rules the setup relies on; a violation fails the build rather than an install."""
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        infos = archive.infolist()
        if archive.comment:
            sys.exit("make_zip: the archive must have no comment")
    if len(infos) != EXPECTED_ENTRIES:
        sys.exit(f"make_zip: {len(infos)} entries, expected {EXPECTED_ENTRIES}")
    if infos[0].filename != PRODUCT_FOLDER + "/":
        sys.exit("make_zip: the product folder must be the first entry")
    for info in infos:
        if not info.filename.startswith(PRODUCT_FOLDER + "/"):
            sys.exit(f"make_zip: {info.filename!r} lies outside the product folder")
        wanted = zipfile.ZIP_STORED if info.is_dir() else zipfile.ZIP_DEFLATED
        if info.compress_type != wanted:
            sys.exit(f"make_zip: {info.filename!r} has method {info.compress_type}")


def main(argv):
    if len(argv) == 5 and argv[1] == "--check":
        _, _, archive, source_root, launcher = argv
        first = build(source_root, launcher)
        second = build(source_root, launcher)
        with open(archive, "rb") as f:
            built = f.read()
        if first != second:
            sys.exit("make_zip: two builds from the same sources differ")
        if built != first:
            sys.exit(f"make_zip: {archive} differs from a fresh build of its sources")
        check_layout(built)
        print(f"{archive}: {len(built)} bytes, {EXPECTED_ENTRIES} entries, reproducible")
        return 0
    if len(argv) != 4:
        sys.exit(__doc__)
    _, output, source_root, launcher = argv
    data = build(source_root, launcher)
    check_layout(data)
    temporary = output + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
