#!/usr/bin/env python3
"""Draws the shared pictures of the resource scripts: the error and login
icons (a quill nib on a round badge) and the login dialog's banner bitmap
(magenta where it is transparent). Writes them under resources/shared/."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "shared")


def badge(size, colour):
    """RGBA rows, top first: a filled circle with a white nib in it."""
    rows = []
    centre = (size - 1) / 2
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - centre, y - centre)
            if d > size / 2 - 0.5:
                row.append((0, 0, 0, 0))
                continue
            # The nib: a narrow diamond leaning from the top right.
            u, v = (x - centre) + (y - centre), (x - centre) - (y - centre)
            nib = abs(v) < size * 0.08 and abs(u) < size * 0.32
            row.append((255, 255, 255, 255) if nib else colour + (255,))
        rows.append(row)
    return rows


def icon(path, colour):
    images = []
    for size in (16, 32):
        rows = badge(size, colour)
        pixels = b"".join(struct.pack("<BBBB", b, g, r, a)
                          for row in reversed(rows) for (r, g, b, a) in row)
        mask_row = ((size + 31) // 32) * 4
        mask = bytes(mask_row * size)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(pixels) + len(mask), 0, 0, 0, 0)
        images.append((size, header + pixels + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def bitmap(path, width, height):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            # Magenta stands for "transparent"; a band of blue across it.
            inside = abs(y - height / 2) < height * 0.3 and 4 <= x < width - 4
            row.append((32, 96, 192) if inside else (255, 0, 255))
        rows.append(row)
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + pixels)


if __name__ == "__main__":
    icon(os.path.join(HERE, "error.ico"), (200, 40, 40))
    icon(os.path.join(HERE, "login.ico"), (40, 90, 170))
    bitmap(os.path.join(HERE, "banner.bmp"), 96, 32)
