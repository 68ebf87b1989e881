#!/usr/bin/env python3
"""Draws the library's default scroll-bar images and writes them as RGBA PNG files.

Usage: make_scroll_images.py HORIZONTAL.png VERTICAL.png

Horizontal image (22 x 20): two frames of 11 x 20 side by side, normal and hot, each a
rounded thumb segment 6 pixels high across the middle. Vertical image (12 x 72): three
frames of 12 x 24 stacked, normal, hot and pressed, each a rounded thumb 6 pixels wide.
"""
import math
import struct
import sys
import zlib

NORMAL = (0x9A, 0x9A, 0x9A, 0xC8)
HOT = (0xC4, 0xC4, 0xC4, 0xE6)
PRESSED = (0x6E, 0x6E, 0x6E, 0xF0)


def capsule_coverage(px, py, x0, y0, x1, y1):
    """Coverage (0..1) of the pixel centre by a capsule from (x0, y0) to (x1, y1)."""
    radius = min(x1 - x0, y1 - y0) / 2.0
    cx = min(max(px, x0 + radius), x1 - radius)
    cy = min(max(py, y0 + radius), y1 - radius)
    distance = math.hypot(px - cx, py - cy)
    return max(0.0, min(1.0, radius + 0.5 - distance))


def frame(width, height, shape, colour):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            cover = capsule_coverage(x + 0.5, y + 0.5, *shape)
            r, g, b, a = colour
            row.append((r, g, b, int(round(a * cover))))
        rows.append(row)
    return rows


def side_by_side(frames):
    return [sum((f[y] for f in frames), []) for y in range(len(frames[0]))]


def stacked(frames):
    return [row for f in frames for row in f]


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    horizontal_path, vertical_path = sys.argv[1:3]
    h_shape = (1, 7, 10, 13)
    write_png(horizontal_path,
              side_by_side([frame(11, 20, h_shape, NORMAL), frame(11, 20, h_shape, HOT)]))
    v_shape = (3, 1, 9, 23)
    write_png(vertical_path,
              stacked([frame(12, 24, v_shape, c) for c in (NORMAL, HOT, PRESSED)]))


if __name__ == "__main__":
    main()
