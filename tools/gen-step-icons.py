#!/usr/bin/env python3
"""Draws the step dialog's state icons: one 16 by 16 picture per step state,
side by side in one 24-bit bitmap of 96 by 16 pixels, in the order the
dialog's image list takes them: done (a green tick), skipped (a grey arrow
past a bar), a question (a blue "?"), pending (a grey dot), waiting for the
user (an amber hourglass) and failed (a red cross). Magenta (255, 0, 255)
is the transparent colour. Writes resources/QuillOff/step-icons.bmp."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "QuillOff")
SIZE = 16
COUNT = 6
MAGENTA = (255, 0, 255)


def blank():
    return [[MAGENTA] * SIZE for _ in range(SIZE)]


def near_segment(x, y, a, b, width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width


def tick():
    rows = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            if near_segment(x, y, (2.5, 8.5), (6, 12), 1.3) or \
               near_segment(x, y, (6, 12), (13, 3), 1.3):
                rows[y][x] = (20, 140, 40)
    return rows


def skipped():
    rows = blank()
    grey = (120, 120, 120)
    for y in range(SIZE):
        for x in range(SIZE):
            if near_segment(x, y, (2, 8), (11, 8), 1.0) or \
               near_segment(x, y, (11, 8), (7.5, 4.5), 1.0) or \
               near_segment(x, y, (11, 8), (7.5, 11.5), 1.0) or \
               near_segment(x, y, (13.5, 3), (13.5, 13), 0.8):
                rows[y][x] = grey
    return rows


def question():
    rows = blank()
    blue = (30, 80, 190)
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - 7.5, y - 5)
            a = math.degrees(math.atan2(y - 5, x - 7.5)) % 360
            on_hook = 2.4 <= d <= 4.0 and not (100 <= a <= 200)
            if on_hook or near_segment(x, y, (7.5, 8.5), (7.5, 10.5), 0.9) or \
               math.hypot(x - 7.5, y - 13) <= 1.1:
                rows[y][x] = blue
    return rows


def pending():
    rows = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - 7.5, y - 7.5)
            if d <= 3.5:
                rows[y][x] = (150, 150, 150)
            elif d <= 4.3:
                rows[y][x] = (90, 90, 90)
    return rows


def hourglass():
    rows = blank()
    amber = (220, 150, 20)
    dark = (110, 70, 10)
    for y in range(SIZE):
        for x in range(SIZE):
            if y in (1, 14) and 3 <= x <= 12:
                rows[y][x] = dark
            elif 2 <= y <= 13:
                half = abs(y - 7.5) / 6.0 * 4.5 + 0.5
                if abs(x - 7.5) <= half:
                    rows[y][x] = amber
    return rows


def cross():
    rows = blank()
    for y in range(SIZE):
        for x in range(SIZE):
            if near_segment(x, y, (3, 3), (12, 12), 1.4) or \
               near_segment(x, y, (12, 3), (3, 12), 1.4):
                rows[y][x] = (200, 30, 30)
    return rows


def write_bmp(path, pictures):
    width = SIZE * len(pictures)
    stride = (width * 3 + 3) // 4 * 4
    bits = b""
    for y in reversed(range(SIZE)):
        line = b"".join(struct.pack("<BBB", b, g, r)
                        for picture in pictures for (r, g, b) in picture[y])
        bits += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, SIZE, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        out.write(header + bits)


def main():
    pictures = [tick(), skipped(), question(), pending(), hourglass(), cross()]
    assert len(pictures) == COUNT
    write_bmp(os.path.join(HERE, "step-icons.bmp"), pictures)


if __name__ == "__main__":
    main()
