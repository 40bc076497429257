#!/usr/bin/env python3
"""Draws the command-bar button faces and their masks: the send button's
quill and the sync button's pair of turning arrows, 16 by 16 pixels, as
8-bit bitmaps. The faces stand on the 3D-face grey (192, 192, 192), which
the add-in's clipboard path maps to the user's own colours; each mask is
black where the face is drawn and white where it is transparent. Writes
them under resources/QuillOff/."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "QuillOff")
SIZE = 16
GREY = (192, 192, 192)


def write_bmp(path, rows, palette):
    """rows: SIZE lists of palette indexes, top row first."""
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    table += bytes(4 * (256 - len(palette)))
    stride = (SIZE + 3) // 4 * 4
    bits = b"".join(bytes(row) + bytes(stride - SIZE) for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(header) + len(table)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        out.write(header + table + bits)


def quill():
    """Palette indexes: 0 background, 1 feather, 2 shaft, 3 nib."""
    rows = [[0] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            # Distance from the diagonal from the bottom left to the top right.
            u = (x + y - (SIZE - 1)) / math.sqrt(2)   # across the quill
            v = (x - y) / math.sqrt(2)                # along it, nib at -v
            if -9.5 < v < -6.5 and abs(u) < 0.8:
                rows[y][x] = 3
            elif -6.5 <= v < 9.5:
                width = 3.2 * math.sin(math.pi * (v + 6.5) / 16.0)
                if abs(u) < 0.6:
                    rows[y][x] = 2
                elif u > 0 and u < width:
                    rows[y][x] = 1
    return rows


def arrows():
    """Palette indexes: 0 background, 1 arrow, 2 arrow head."""
    rows = [[0] * SIZE for _ in range(SIZE)]
    c = (SIZE - 1) / 2
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - c, y - c)
            a = math.degrees(math.atan2(y - c, x - c)) % 360
            on_ring = 4.2 <= d <= 6.4
            # Two arcs with a gap before each head.
            if on_ring and (20 <= a <= 160 or 200 <= a <= 340):
                rows[y][x] = 1
    # Heads: small triangles at the arcs' ends.
    for (hx, hy, dx) in ((13, 6, -1), (2, 9, 1)):
        for i in range(4):
            for j in range(-i, i + 1):
                x, y = hx + dx * (3 - i), hy + j
                if 0 <= x < SIZE and 0 <= y < SIZE:
                    rows[y][x] = 2
    return rows


def mask_of(rows):
    return [[0 if p else 1 for p in row] for row in rows]


def main():
    faces = {
        "send": (quill(), [GREY, (40, 90, 170), (60, 40, 20), (20, 20, 20)]),
        "sync": (arrows(), [GREY, (30, 130, 60), (20, 90, 40)]),
    }
    for name, (rows, palette) in faces.items():
        write_bmp(os.path.join(HERE, name + "-face.bmp"), rows, palette)
        write_bmp(os.path.join(HERE, name + "-mask.bmp"), mask_of(rows),
                  [(0, 0, 0), (255, 255, 255)])


if __name__ == "__main__":
    main()
