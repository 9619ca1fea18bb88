#!/usr/bin/env python3
"""Writes the C++ source that embeds the unzip library and the product archive.

    make_payload.py LIBRARY ARCHIVE OUTPUT

Each file becomes an array of 16-bit words, one per byte (byte in the low half, high
half 0). Both arrays are members of one record, library first, so that the archive
follows the library directly in the program's data. Numbers are written in decimal
without padding, many to a line: the compiler reads a short, dense source fastest.
The archive's longest entry path is written beside them, so that the setup can tell
whether the product fits below a destination, and its files with their sizes, so that it
can tell whether an expansion left all of them. Each image gets the CRC-32 of the very
bytes embedded, so that the setup can tell a damaged copy of itself before it stages.
"""
import io
import os
import sys
import zipfile
import zlib

NUMBERS_PER_LINE = 64


def words(data):
    lines = []
    for start in range(0, len(data), NUMBERS_PER_LINE):
        lines.append(",".join(map(str, data[start:start + NUMBERS_PER_LINE])))
    return ",\n".join(lines)


def longest_path(archive):
    """The archive's longest entry path, in Windows form: what must fit below a destination."""
    with zipfile.ZipFile(io.BytesIO(archive)) as z:
        paths = [name.rstrip("/").replace("/", "\\") for name in z.namelist()]
    longest = max(paths, key=len)
    if not longest.isascii() or '"' in longest:
        sys.exit(f"make_payload: entry {longest!r} cannot be written as a plain C string")
    return longest.replace("\\", "\\\\")


def archive_files(archive):
    """The archive's files as C initialisers {"path", size}, in Windows form."""
    with zipfile.ZipFile(io.BytesIO(archive)) as z:
        files = [(i.filename.replace("/", "\\"), i.file_size) for i in z.infolist() if not i.is_dir()]
    for path, _ in files:
        if not path.isascii() or '"' in path:
            sys.exit(f"make_payload: entry {path!r} cannot be written as a plain C string")
    return ",\n".join(f'    {{"{path.replace(chr(92), chr(92) * 2)}", {size}u}}' for path, size in files)


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    _, library_path, archive_path, output = argv
    with open(library_path, "rb") as f:
        library = f.read()
    with open(archive_path, "rb") as f:
        archive = f.read()
    if not library.startswith(b"MZ"):
        sys.exit(f"make_payload: {library_path} is not a Windows module")
    if not archive.startswith(b"PK\x03\x04"):
        sys.exit(f"make_payload: {archive_path} is not a ZIP archive")

    source = f"""// Generated at build time from {os.path.basename(library_path)} ({len(library)} bytes)
// and {os.path.basename(archive_path)} ({len(archive)} bytes). Do not edit.
#include "payload/Payload.h"

namespace {{

struct PayloadWords {{
    std::uint16_t library[{len(library)}];
    std::uint16_t archive[{len(archive)}];
}};

const PayloadWords Words = {{
{{
{words(library)}
}},
{{
{words(archive)}
}}
}};

}} // namespace

const EmbeddedImage LibraryImage = {{Words.library, {len(library)}, {zlib.crc32(library):#010x}u}};
const EmbeddedImage ArchiveImage = {{Words.archive, {len(archive)}, {zlib.crc32(archive):#010x}u}};
const char ArchiveLongestPath[] = "{longest_path(archive)}";
const ArchiveFile ArchiveFiles[] = {{
{archive_files(archive)}
}};
const std::size_t ArchiveFileCount = sizeof ArchiveFiles / sizeof ArchiveFiles[0];
"""
    temporary = output + ".tmp"
    with open(temporary, "w", newline="\n") as f:
        f.write(source)
    os.replace(temporary, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
