#!/usr/bin/env python3
"""Writes the example's skin images into the given folder.

hello_button.png: four 40 x 24 frames side by side (normal, hover, pressed, disabled).
hello_picture.png: a 48 x 48 orange disc on transparency.
"""
import math
import os
import struct
import sys
import zlib


def write_png(path, rows):
    """rows: lists of (r, g, b, a) tuples, top row first."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def button_rows():
    fills = [(0x3A, 0x6E, 0xA5), (0x4F, 0x8B, 0xC9), (0x2B, 0x52, 0x7A), (0x70, 0x70, 0x70)]
    rows = []
    for y in range(24):
        row = []
        for fill in fills:
            for x in range(40):
                edge = x in (0, 39) or y in (0, 23)
                row.append(tuple(min(255, c + 60) for c in fill) + (255,) if edge else fill + (255,))
        rows.append(row)
    return rows


def picture_rows():
    rows = []
    for y in range(48):
        row = []
        for x in range(48):
            cover = max(0.0, min(1.0, 22.5 - math.hypot(x + 0.5 - 24, y + 0.5 - 24)))
            row.append((0xF0, 0x8C, 0x28, int(round(255 * cover))))
        rows.append(row)
    return rows


if __name__ == "__main__":
    folder = sys.argv[1]
    write_png(os.path.join(folder, "hello_button.png"), button_rows())
    write_png(os.path.join(folder, "hello_picture.png"), picture_rows())
