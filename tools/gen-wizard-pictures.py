#!/usr/bin/env python3
"""Draws the send wizard's pictures: the tile beside each page's text (a
quill on blue) and the intro page's three steps (a template sheet, a
signature mark on a crosshair, a numbered list) as tiles. Writes them
under resources/QuillOff/."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "QuillOff")
WHITE = (255, 255, 255)
BLUE = (40, 90, 170)


def write_bmp(path, rows):
    """rows: lists of (r, g, b), top row first; written as a 24-bit bitmap."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(head + info + pixels)


def tile(size, draw):
    """A square blue tile; draw(u, v) gives a colour for the figure or None."""
    return [[draw(x / size, y / size) or BLUE for x in range(size)] for y in range(size)]


def quill(u, v):
    # Along the diagonal from the bottom left to the top right.
    across = (u + v - 1) / math.sqrt(2)
    along = (u - v) / math.sqrt(2)
    if -0.42 < along < -0.3 and abs(across) < 0.03:
        return (250, 210, 80)
    if -0.3 <= along < 0.42:
        width = 0.14 * math.sin(math.pi * (along + 0.3) / 0.72)
        if abs(across) < 0.025 or 0 < across < width:
            return WHITE
    return None


def sheet(u, v):
    if 0.25 <= u <= 0.75 and 0.15 <= v <= 0.85:
        inner = 0.32 <= u <= 0.68
        if inner and any(abs(v - line) < 0.025 for line in (0.3, 0.42, 0.54, 0.66)):
            return BLUE
        return WHITE
    return None


def target(u, v):
    d = math.hypot(u - 0.5, v - 0.5)
    if abs(d - 0.3) < 0.035 or (d < 0.38 and (abs(u - 0.5) < 0.025 or abs(v - 0.5) < 0.025)):
        return WHITE
    if d < 0.08:
        return (250, 210, 80)
    return None


def numbered(u, v):
    for line in (0.28, 0.5, 0.72):
        if abs(v - line) < 0.06:
            if 0.18 <= u <= 0.3:
                return (250, 210, 80)
            if 0.38 <= u <= 0.82:
                return WHITE
    return None


if __name__ == "__main__":
    write_bmp(os.path.join(HERE, "wiz-page.bmp"), tile(48, quill))
    write_bmp(os.path.join(HERE, "wiz-step1.bmp"), tile(32, sheet))
    write_bmp(os.path.join(HERE, "wiz-step2.bmp"), tile(32, target))
    write_bmp(os.path.join(HERE, "wiz-step3.bmp"), tile(32, numbered))
