#!/usr/bin/env python3
"""Draws the broadcast agent's pictures under resources/inkProxy/:

- step-states.bmp: the step list's seven 16 by 16 pictures side by side
  (112 by 16, 24-bit), in the order the agent's image list takes them: a
  green check mark, a blue arrow, a wrench, a lightning bolt, an empty box,
  a red disc with a white cross and a red cross;
- agent-picture.bmp: the picture at the dialog's top right, a stack of
  envelopes fanning out from a quill (92 by 46);
- agent.ico and badge.ico: the program's icon (a quill over an envelope)
  and the dialog's badge (envelopes going out), 32 by 32 and 16 by 16.

Magenta (255, 0, 255) is the bitmaps' transparent colour."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "inkProxy")
MAGENTA = (255, 0, 255)


def canvas(width, height, fill=MAGENTA):
    return [[fill] * width for _ in range(height)]


def near_segment(x, y, a, b, width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width


def inside_polygon(x, y, points):
    inside = False
    for i in range(len(points)):
        (ax, ay), (bx, by) = points[i], points[i - 1]
        if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
            inside = not inside
    return inside


def draw(rows, colour, test, scale=1.0, left=0, top=0):
    for y in range(len(rows)):
        for x in range(len(rows[0])):
            if test((x - left + 0.5) / scale - 0.5, (y - top + 0.5) / scale - 0.5):
                rows[y][x] = colour


def check(rows):
    draw(rows, (20, 140, 40), lambda x, y: near_segment(x, y, (2.5, 8.5), (6, 12), 1.4)
         or near_segment(x, y, (6, 12), (13, 3), 1.4))


def arrow(rows):
    blue = (30, 90, 200)
    draw(rows, blue, lambda x, y: near_segment(x, y, (2, 8), (12, 8), 1.3)
         or inside_polygon(x, y, [(9, 3), (14.5, 8), (9, 13)]))


def wrench(rows):
    grey = (90, 100, 120)
    draw(rows, grey, lambda x, y: near_segment(x, y, (3, 13), (9, 7), 1.5)
         or (math.hypot(x - 10.5, y - 5.5) <= 4 and not math.hypot(x - 12.5, y - 3.5) <= 2.2))


def bolt(rows):
    draw(rows, (240, 190, 20), lambda x, y: inside_polygon(
        x, y, [(9, 1), (3, 9), (7.5, 9), (5.5, 15), (12.5, 6.5), (8, 6.5), (11, 1)]))
    draw(rows, (150, 100, 0), lambda x, y: near_segment(x, y, (9, 1), (11, 1), 0.5))


def box(rows):
    draw(rows, (110, 110, 110), lambda x, y: 2 <= x <= 13 and 2 <= y <= 13
         and not (3 <= x <= 12 and 3 <= y <= 12))
    draw(rows, (255, 255, 255), lambda x, y: 3 <= x <= 12 and 3 <= y <= 12)


def disc_cross(rows):
    draw(rows, (200, 30, 30), lambda x, y: math.hypot(x - 7.5, y - 7.5) <= 7)
    draw(rows, (255, 255, 255), lambda x, y: near_segment(x, y, (4.5, 4.5), (10.5, 10.5), 1.1)
         or near_segment(x, y, (10.5, 4.5), (4.5, 10.5), 1.1))


def cross(rows):
    draw(rows, (200, 30, 30), lambda x, y: near_segment(x, y, (3, 3), (12, 12), 1.5)
         or near_segment(x, y, (12, 3), (3, 12), 1.5))


def envelope(rows, left, top, width, height, paper=(250, 250, 245), ink=(40, 70, 140)):
    right, bottom = left + width, top + height
    draw(rows, paper, lambda x, y: left <= x <= right and top <= y <= bottom)
    draw(rows, ink, lambda x, y: (left <= x <= right and top <= y <= bottom) and (
        x < left + 1 or x > right - 1 or y < top + 1 or y > bottom - 1
        or near_segment(x, y, (left, top), ((left + right) / 2, (top + bottom) / 2 + 1), 0.6)
        or near_segment(x, y, (right, top), ((left + right) / 2, (top + bottom) / 2 + 1), 0.6)))


def quill(rows, tip, length, scale=1.0):
    tx, ty = tip
    vane = [(tx, ty), (tx + length * 0.35, ty - length * 0.95), (tx + length * 0.75, ty - length),
            (tx + length * 0.2, ty - length * 0.25)]
    draw(rows, (120, 40, 150), lambda x, y: inside_polygon(x, y, vane))
    draw(rows, (60, 20, 80), lambda x, y: near_segment(x, y, (tx, ty), (tx + length * 0.6,
                                                                       ty - length * 0.9),
                                                       0.5 * scale))


def strip():
    pictures = []
    for painter in (check, arrow, wrench, bolt, box, disc_cross, cross):
        rows = canvas(16, 16)
        painter(rows)
        pictures.append(rows)
    return [sum((picture[y] for picture in pictures), []) for y in range(16)]


def picture():
    rows = canvas(92, 46)
    for left, top in [(8, 22), (30, 14), (52, 6)]:
        envelope(rows, left, top, 30, 18)
    draw(rows, (40, 70, 140), lambda x, y: any(
        near_segment(x, y, (a, b), (c, d), 0.6) for a, b, c, d in
        [(2, 43, 7, 43), (85, 10, 90, 8), (85, 16, 90, 16)]))
    return rows


def icon_rows(size, badge):
    rows = canvas(size, size, None)
    s = size / 32.0
    if badge:
        for left, top in [(2, 17), (9, 10), (16, 3)]:
            envelope(rows, int(left * s), int(top * s), int(14 * s), int(10 * s))
    else:
        envelope(rows, int(2 * s), int(12 * s), int(26 * s), int(17 * s))
        quill(rows, (10 * s, 24 * s), 20 * s, s)
    return rows


def write_bmp(path, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    bits = b""
    for y in reversed(range(height)):
        line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in rows[y])
        bits += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset))
        out.write(header + bits)


def icon_image(rows):
    size = len(rows)
    colour = b""
    mask = b""
    mask_stride = (size + 31) // 32 * 4
    for y in reversed(range(size)):
        bits = 0
        line = b""
        for x, pixel in enumerate(rows[y]):
            if pixel is None:
                line += bytes(4)
                bits |= 1 << (size - 1 - x) if size <= 32 else 0
            else:
                r, g, b = pixel
                line += struct.pack("<BBBB", b, g, r, 255)
        colour += line
        mask += bits.to_bytes((size + 7) // 8, "big").ljust(mask_stride, b"\0")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + colour + mask


def write_ico(path, images):
    data = [icon_image(rows) for rows in images]
    offset = 6 + 16 * len(data)
    out = struct.pack("<HHH", 0, 1, len(data))
    for rows, image in zip(images, data):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as file:
        file.write(out + b"".join(data))


def main():
    write_bmp(os.path.join(HERE, "step-states.bmp"), strip())
    write_bmp(os.path.join(HERE, "agent-picture.bmp"), picture())
    write_ico(os.path.join(HERE, "agent.ico"), [icon_rows(32, False), icon_rows(16, False)])
    write_ico(os.path.join(HERE, "badge.ico"), [icon_rows(32, True), icon_rows(16, True)])


if __name__ == "__main__":
    main()
