#!/usr/bin/env python3
# Draws the ribbon buttons' images: a blue square with a white quill stroke
# on a transparent edge, 8-bit RGBA. resources/QuillOff/ribbon-button.png is
# 32 by 32 pixels, the large button at 96 DPI; ribbon-button-64.png is the
# same figure drawn again at 64 by 64 for 200 %, so Office need not stretch
# the small one. Run from the top of the tree; the PNGs are checked in.
import struct
import zlib


def pixel(x, y, size):
    scale = size // 32
    edge = 2 * scale
    if not (edge <= x < size - edge and edge <= y < size - edge):
        return (0, 0, 0, 0)
    # The stroke is three pixels wide at 32, and as much wider as the image.
    if abs(x - y) <= 1 + 2 * (scale - 1) // 2 and 6 * scale <= x <= 26 * scale + scale - 1:
        return (255, 255, 255, 255)
    return (30, 90, 170, 255)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(size):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y, size)) for x in range(size))
                    for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


for size, name in ((32, "ribbon-button.png"), (64, "ribbon-button-64.png")):
    with open("resources/QuillOff/" + name, "wb") as out:
        out.write(png(size))
