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


# The wordmark's letters, a pixel a character, drawn twice as large.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "u": ["0000", "0000", "1001", "1001", "1001", "1001", "0111"],
    "i": ["1", "0", "1", "1", "1", "1", "1"],
    "l": ["11", "01", "01", "01", "01", "01", "01"],
    "e": ["0000", "0000", "0110", "1001", "1111", "1000", "0111"],
    "t": ["010", "010", "111", "010", "010", "010", "001"],
}


def bitmap(path, width, height):
    """The banner: the login badge and the word "Quillet" beside it, on
    magenta, which the dialogs paint as transparent."""
    magenta, blue = (255, 0, 255), (40, 90, 170)
    rows = [[magenta] * width for _ in range(height)]
    size = height - 4
    for y, row in enumerate(badge(size, blue)):
        for x, (r, g, b, a) in enumerate(row):
            if a:
                rows[2 + y][2 + x] = (r, g, b)
    x0, scale = size + 8, 2
    top = (height - 7 * scale) // 2
    for letter in "Quillet":
        glyph = GLYPHS[letter]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            rows[top + gy * scale + dy][x0 + gx * scale + dx] = blue
        x0 += (len(glyph[0]) + 1) * scale
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
