#!/usr/bin/env python3
"""Draws the options page's pictures under resources/QuillOpts/: the three
group icons (credentials, preferences, templates), the gateway list's two
state images and the control's toolbox bitmap. Standard library only."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "QuillOpts")
MAGENTA = (255, 0, 255)
INK = (24, 60, 120)
PAPER = (250, 250, 245)
GOLD = (214, 160, 40)
GREEN = (30, 140, 60)
GREY = (110, 110, 110)


def canvas(w, h, fill):
    return [[fill for _ in range(w)] for _ in range(h)]


def rect(img, x0, y0, x1, y1, color):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= y < len(img) and 0 <= x < len(img[0]):
                img[y][x] = color


def frame(img, x0, y0, x1, y1, color):
    rect(img, x0, y0, x1, y0, color)
    rect(img, x0, y1, x1, y1, color)
    rect(img, x0, y0, x0, y1, color)
    rect(img, x1, y0, x1, y1, color)


def disc(img, cx, cy, r, color):
    for y in range(len(img)):
        for x in range(len(img[0])):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                img[y][x] = color


def bmp24(img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    rows = b""
    for row in reversed(img):
        line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        rows += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 54) + header + rows


def ico32(img, transparent):
    h, w = len(img), len(img[0])
    pixels = b""
    for row in reversed(img):
        for c in row:
            if c == transparent:
                pixels += b"\0\0\0\0"
            else:
                pixels += bytes((c[2], c[1], c[0], 255))
    mask_stride = ((w + 31) // 32) * 4
    mask = b""
    for row in reversed(img):
        bits = 0
        line = bytearray(mask_stride)
        for x, c in enumerate(row):
            if c == transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    body = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(body), 22)
    return directory + body


def credentials():
    img = canvas(32, 32, MAGENTA)
    disc(img, 10, 16, 8, GOLD)
    disc(img, 10, 16, 3, MAGENTA)
    rect(img, 17, 14, 29, 18, GOLD)
    rect(img, 24, 18, 26, 23, GOLD)
    rect(img, 28, 18, 29, 22, GOLD)
    return img


def preferences():
    img = canvas(32, 32, MAGENTA)
    rect(img, 4, 4, 27, 27, PAPER)
    frame(img, 4, 4, 27, 27, INK)
    for y in (9, 16, 23):
        frame(img, 8, y - 2, 12, y + 2, INK)
        rect(img, 15, y, 24, y, GREY)
    for y in (9, 16):
        rect(img, 9, y - 1, 11, y + 1, GREEN)
    return img


def templates():
    img = canvas(32, 32, MAGENTA)
    rect(img, 7, 3, 24, 28, PAPER)
    frame(img, 7, 3, 24, 28, INK)
    for y in range(8, 22, 3):
        rect(img, 10, y, 21, y, GREY)
    for i in range(8):
        rect(img, 12 + i, 25 - i // 2, 13 + i, 25 - i // 2, INK)
    return img


def state_images():
    img = canvas(32, 16, MAGENTA)
    for left in (0, 16):
        rect(img, left + 2, 2, left + 13, 13, (255, 255, 255))
        frame(img, left + 2, 2, left + 13, 13, INK)
    # Image 1: a box with a check mark; image 2: an empty box.
    for i, (x, y) in enumerate([(4, 7), (5, 8), (6, 9), (7, 10), (8, 9), (9, 8), (10, 7), (11, 6), (11, 5)]):
        rect(img, x, y - 1, x, y, GREEN)
    return img


def toolbox():
    img = canvas(16, 15, (192, 192, 192))
    rect(img, 2, 1, 13, 13, PAPER)
    frame(img, 2, 1, 13, 13, INK)
    rect(img, 4, 4, 6, 6, GREEN)
    rect(img, 8, 5, 11, 5, GREY)
    rect(img, 4, 9, 6, 11, INK)
    rect(img, 8, 10, 11, 10, GREY)
    return img


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, img in (("credentials.ico", credentials()), ("preferences.ico", preferences()),
                      ("templates.ico", templates())):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(ico32(img, MAGENTA))
    with open(os.path.join(OUT, "gateway-states.bmp"), "wb") as f:
        f.write(bmp24(state_images()))
    with open(os.path.join(OUT, "toolbox.bmp"), "wb") as f:
        f.write(bmp24(toolbox()))


if __name__ == "__main__":
    main()
