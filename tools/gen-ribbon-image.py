#!/usr/bin/env python3
# Draws the ribbon buttons' image, resources/QuillOff/ribbon-button.png:
# 32 by 32 pixels, 8-bit RGBA, a blue square with a white quill stroke on a
# transparent edge. Run from the top of the tree; the PNG is checked in.
import struct
import zlib

SIZE = 32


def pixel(x, y):
    if not (2 <= x < SIZE - 2 and 2 <= y < SIZE - 2):
        return (0, 0, 0, 0)
    if abs(x - y) <= 1 and 6 <= x <= 26:
        return (255, 255, 255, 255)
    return (30, 90, 170, 255)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
with open("resources/QuillOff/ribbon-button.png", "wb") as out:
    out.write(png)
