#!/usr/bin/env python3
"""Writes the program icon (16x16 and 32x32, 256 colours) from the pixel map below.

The map is the icon's source: edit it and rebuild. Each character picks a palette colour;
'.' is transparent. The 32x32 image is the 16x16 map doubled.
"""
import struct
import sys

PIXELS_16 = [
    "................",
    ".BBBBBBBBBBBBBB.",
    "BBBBBBBBBBBBBBBB",
    "BBWWWWWWWWWWWWBB",
    "BBWWWWWWWWWWWWBB",
    "BBBBBBBBBBWWWBBB",
    "BBBBBBBBBWWWBBBB",
    "BBBBBBBBWWWBBBBB",
    "BBBBBBBWWWBBBBBB",
    "BBBBBBWWWBBBBBBB",
    "BBBBBWWWBBBBBBBB",
    "BBBBWWWBBBBBBBBB",
    "BBWWWWWWWWWWWWBB",
    "BBWWWWWWWWWWWWBB",
    "BBBBBBBBBBBBBBBB",
    ".BBBBBBBBBBBBBB.",
]

# Palette index per character, and the colours (B, G, R) of the 256-entry palette.
INDEX = {".": 0, "B": 1, "W": 2}
COLOURS = [(0, 0, 0), (160, 80, 0), (255, 255, 255)]


def scaled(rows, factor):
    out = []
    for row in rows:
        wide = "".join(ch * factor for ch in row)
        out.extend([wide] * factor)
    return out


def image(rows):
    size = len(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in COLOURS)
    palette += b"\0" * (4 * (256 - len(COLOURS)))
    # Bitmaps are stored bottom-up; 8-bit rows of 16 or 32 bytes need no padding.
    xor = b"".join(bytes(INDEX[ch] for ch in row) for row in reversed(rows))
    mask_row = (size + 31) // 32 * 4
    and_mask = b""
    for row in reversed(rows):
        bits = 0
        for x, ch in enumerate(row):
            if ch == ".":
                bits |= 1 << (mask_row * 8 - 1 - x)
        and_mask += bits.to_bytes(mask_row, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + palette + xor + and_mask


def main(path):
    images = [image(PIXELS_16), image(scaled(PIXELS_16, 2))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for rows, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", rows, rows, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
