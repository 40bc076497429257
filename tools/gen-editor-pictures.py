#!/usr/bin/env python3
"""Draws the template editor's pictures into resources/inkEdit:

- toolbar.bmp: the nine 16 by 16 toolbar faces side by side (open, new,
  save, send, delete, new signer, delete signer, move up, move down) on the
  light grey (192, 192, 192) that the toolbar maps to the button face;
- open-up.bmp, open-down.bmp, open-focus.bmp, open-disabled.bmp: the
  document lists' OPEN button (a folder) in its four states, 20 by 16;
- editor.ico (the program), error.ico (the error dialog), new.ico (the
  new-template dialog): 32 by 32 icons with an alpha channel."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "inkEdit")
GREY = (192, 192, 192)


def canvas(width, height, colour):
    return [[colour] * width for _ in range(height)]


def near_segment(x, y, a, b, width):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width


def fill(rows, box, colour, ox=0):
    x0, y0, x1, y1 = box
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            rows[y][ox + x] = colour


def frame(rows, box, colour, ox=0):
    x0, y0, x1, y1 = box
    for x in range(x0, x1 + 1):
        rows[y0][ox + x] = rows[y1][ox + x] = colour
    for y in range(y0, y1 + 1):
        rows[y][ox + x0] = rows[y][ox + x1] = colour


def strokes(rows, segments, colour, width, ox=0, size=16):
    for y in range(size):
        for x in range(size):
            if any(near_segment(x, y, a, b, width) for a, b in segments):
                rows[y][ox + x] = colour


def page(rows, ox):
    fill(rows, (3, 1, 12, 14), (255, 255, 255), ox)
    frame(rows, (3, 1, 12, 14), (60, 60, 60), ox)
    for y in (4, 7, 10):
        fill(rows, (5, y, 10, y), (120, 120, 160), ox)


def folder(rows, ox, body, top):
    fill(rows, (1, 4, 6, 5), top, ox)
    fill(rows, (1, 5, 14, 13), body, ox)
    frame(rows, (1, 5, 14, 13), (110, 80, 10), ox)


def person(rows, ox, colour):
    for y in range(16):
        for x in range(16):
            if math.hypot(x - 6, y - 4.5) <= 2.6 or \
               (y >= 9 and y <= 14 and abs(x - 6) <= 4 - max(0, 10 - y)):
                rows[y][ox + x] = colour


def toolbar():
    rows = canvas(16 * 9, 16, GREY)
    folder(rows, 0, (240, 200, 80), (200, 160, 50))                  # open
    strokes(rows, [((9, 6), (14, 1)), ((14, 1), (14, 5)), ((14, 1), (10, 1))],
            (20, 120, 40), 0.8, 0)
    page(rows, 16)                                                    # new
    strokes(rows, [((13, 0), (13, 6)), ((10, 3), (16, 3))], (230, 160, 0), 0.9, 16)
    fill(rows, (2, 2, 13, 13), (40, 70, 150), 32)                     # save
    fill(rows, (4, 2, 11, 6), (235, 235, 235), 32)
    fill(rows, (5, 9, 10, 13), (90, 90, 90), 32)
    fill(rows, (1, 4, 14, 12), (255, 255, 255), 48)                   # send
    frame(rows, (1, 4, 14, 12), (60, 60, 60), 48)
    strokes(rows, [((1, 4), (7.5, 9)), ((7.5, 9), (14, 4))], (60, 60, 60), 0.6, 48)
    page(rows, 64)                                                    # delete
    strokes(rows, [((4, 4), (12, 12)), ((12, 4), (4, 12))], (200, 30, 30), 1.1, 64)
    person(rows, 80, (50, 90, 170))                                   # new signer
    strokes(rows, [((13, 8), (13, 14)), ((10, 11), (16, 11))], (20, 140, 40), 0.9, 80)
    person(rows, 96, (50, 90, 170))                                   # delete signer
    strokes(rows, [((10, 9), (15, 14)), ((15, 9), (10, 14))], (200, 30, 30), 0.9, 96)
    strokes(rows, [((8, 2), (8, 14)), ((8, 2), (3, 7)), ((8, 2), (13, 7))],
            (40, 70, 150), 1.2, 112)                                  # up
    strokes(rows, [((8, 2), (8, 14)), ((8, 14), (3, 9)), ((8, 14), (13, 9))],
            (40, 70, 150), 1.2, 128)                                  # down
    return rows


def open_button(state):
    face = {"up": (225, 225, 225), "down": (180, 180, 180),
            "focus": (225, 225, 240), "disabled": (225, 225, 225)}[state]
    rows = canvas(20, 16, face)
    edge = (40, 40, 40) if state != "disabled" else (160, 160, 160)
    frame(rows, (0, 0, 19, 15), edge)
    if state == "focus":
        frame(rows, (1, 1, 18, 14), (40, 90, 200))
    body = (240, 200, 80) if state != "disabled" else (200, 200, 200)
    top = (200, 160, 50) if state != "disabled" else (175, 175, 175)
    shift = 1 if state == "down" else 0
    fill(rows, (4 + shift, 4 + shift, 8 + shift, 5 + shift), top)
    fill(rows, (4 + shift, 5 + shift, 15 + shift, 11 + shift), body)
    frame(rows, (4 + shift, 5 + shift, 15 + shift, 11 + shift), edge)
    return rows


def write_bmp(name, rows):
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 54))
        out.write(header + pixels)


def write_ico(name, rgba):
    size = len(rgba)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rgba) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rgba):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, 1))
        out.write(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22))
        out.write(image)


def icon(draw):
    size = 32
    rgba = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            colour = draw(x, y)
            if colour:
                rgba[y][x] = colour + (255,)
    return rgba


def editor_icon(x, y):
    # A page with a quill across it.
    if near_segment(x, y, (9, 26), (27, 4), 2.2):
        return (40, 70, 150)
    if 5 <= x <= 22 and 3 <= y <= 28:
        if x in (5, 22) or y in (3, 28):
            return (60, 60, 60)
        if y in (9, 14, 19, 24) and 8 <= x <= 19:
            return (140, 140, 170)
        return (255, 255, 255)
    return None


def error_icon(x, y):
    d = math.hypot(x - 15.5, y - 15.5)
    if d <= 14:
        if near_segment(x, y, (10, 10), (21, 21), 2.2) or near_segment(x, y, (21, 10), (10, 21), 2.2):
            return (255, 255, 255)
        return (200, 30, 30)
    return None


def new_icon(x, y):
    if near_segment(x, y, (24, 3), (24, 13), 1.5) or near_segment(x, y, (19, 8), (29, 8), 1.5):
        return (230, 160, 0)
    return editor_icon(x, y)


def main():
    write_bmp("toolbar.bmp", toolbar())
    for state, name in (("up", "open-up"), ("down", "open-down"),
                        ("focus", "open-focus"), ("disabled", "open-disabled")):
        write_bmp(name + ".bmp", open_button(state))
    write_ico("editor.ico", icon(editor_icon))
    write_ico("error.ico", icon(error_icon))
    write_ico("new.ico", icon(new_icon))


if __name__ == "__main__":
    main()
