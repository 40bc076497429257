#!/usr/bin/env python3
"""Draws the sync dialog's item-state pictures: one strip of six 16-pixel
tiles, indexed by the item's state (0 unused, 1 to update, 2 nothing to do,
3 updated, 4 new, 5 failed), magenta where it is transparent. Writes
resources/QuillOff/sync-states.bmp."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "QuillOff")
SIZE = 16
MAGENTA = (255, 0, 255)


def write_bmp(path, rows):
    """rows: lists of (r, g, b), top row first; written as a 24-bit bitmap."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        out.write(header + pixels)


def tile(paint):
    """A tile: paint(x, y) gives a colour or None (transparent)."""
    return [[paint(x, y) or MAGENTA for x in range(SIZE)] for y in range(SIZE)]


C = (SIZE - 1) / 2


def unused(x, y):
    return None


def to_update(x, y):
    # A blue ring with a gap, turning clockwise.
    d = math.hypot(x - C, y - C)
    a = math.degrees(math.atan2(y - C, x - C)) % 360
    if 4.0 <= d <= 6.5 and not 300 <= a <= 350:
        return (30, 90, 200)
    if 10 <= x <= 14 and 2 <= y <= 6 and x - 10 + (6 - y) <= 4:
        return (30, 90, 200)
    return None


def nothing(x, y):
    # A grey bar.
    return (128, 128, 128) if 3 <= x <= 12 and 7 <= y <= 8 else None


def updated(x, y):
    # A green tick.
    on_short = abs((y - 8) - (x - 3)) <= 1 and 3 <= x <= 6
    on_long = abs((y - 11) + (x - 6)) <= 1 and 6 <= x <= 13
    return (20, 150, 40) if on_short or on_long else None


def new(x, y):
    # Three amber dots.
    for cx in (3.5, 7.5, 11.5):
        if math.hypot(x - cx, y - 7.5) <= 1.6:
            return (220, 150, 0)
    return None


def failed(x, y):
    # A red cross.
    if 3 <= x <= 12 and 3 <= y <= 12 and (abs(x - y) <= 1 or abs(x + y - 15) <= 1):
        return (200, 30, 30)
    return None


def main():
    tiles = [tile(p) for p in (unused, to_update, nothing, updated, new, failed)]
    rows = [sum((t[y] for t in tiles), []) for y in range(SIZE)]
    write_bmp(os.path.join(HERE, "sync-states.bmp"), rows)


if __name__ == "__main__":
    main()
