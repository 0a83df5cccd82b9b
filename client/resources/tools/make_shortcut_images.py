#!/usr/bin/env python3
"""Draws the shortcut bar's images: the web page icon, the page background and the drag cursor.

Run from anywhere: python3 client/resources/tools/make_shortcut_images.py
The files are written beside this script and committed; the build only compiles them. The drawing
helpers are those of client/resources/make_images.py.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(HERE))

from make_images import Canvas, ico_image, supersampled, write_bmp, write_ico  # noqa: E402

WHITE = (255, 255, 255, 255)


def web_page(c, s):
    """A sheet with a folded corner and a globe in front of it."""
    edge, paper, fold = (90, 110, 140, 255), (250, 252, 255, 255), (205, 218, 235, 255)
    c.polygon([(5 * s, 2 * s), (20 * s, 2 * s), (27 * s, 9 * s), (27 * s, 30 * s), (5 * s, 30 * s)], edge)
    c.polygon([(6.3 * s, 3.3 * s), (19.5 * s, 3.3 * s), (25.7 * s, 9.5 * s), (25.7 * s, 28.7 * s),
               (6.3 * s, 28.7 * s)], paper)
    c.polygon([(19.5 * s, 3.3 * s), (19.5 * s, 9.5 * s), (25.7 * s, 9.5 * s)], fold)
    for k in range(4):
        y = (8 + 3.2 * k) * s
        c.rect(9 * s, y, (17 if k == 0 else 22) * s, y + 1.2 * s, (150, 170, 200, 255))
    cx, cy, r = 18 * s, 21 * s, 10 * s
    c.circle(cx, cy, r + 1.2 * s, (20, 80, 160, 255))
    c.circle(cx, cy, r, (45, 135, 225, 255))
    green = (70, 175, 80, 255)
    c.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r and
           (((x - (cx - 3.5 * s)) / (4.5 * s)) ** 2 + ((y - (cy - 3 * s)) / (3.2 * s)) ** 2 <= 1 or
            ((x - (cx + 4 * s)) / (3.5 * s)) ** 2 + ((y - (cy + 4 * s)) / (4.2 * s)) ** 2 <= 1), green)
    ring = (255, 255, 255, 200)
    c.fill(lambda x, y: abs(((x - cx) / (4.5 * s)) ** 2 + ((y - cy) / r) ** 2 - 1) < 0.16 and
           (x - cx) ** 2 + (y - cy) ** 2 <= r * r, ring)
    c.fill(lambda x, y: abs(y - cy) < 0.6 * s and abs(x - cx) < r, ring)


def background():
    """A soft vertical wash from the bar's light blue to white, stretched over the page."""
    w, h = 32, 256
    c = Canvas(w, h, (0, 0, 0))
    top, bottom = (214, 232, 250), (250, 252, 255)
    for y in range(h):
        t = y / float(h - 1)
        col = tuple(int(top[k] + (bottom[k] - top[k]) * t) for k in range(3))
        for x in range(w):
            c.px[y][x] = col
    return c


def hand():
    """A pointing hand, white with a black outline; the hot spot is the finger tip."""
    c = Canvas(32, 32, (0, 0, 0, 0))
    black = (0, 0, 0, 255)
    shapes = [
        ("rect", 8, 1, 13, 18),      # index finger
        ("rect", 13, 9, 17, 18),     # middle finger
        ("rect", 17, 10, 21, 18),    # ring finger
        ("rect", 21, 11, 25, 19),    # little finger
        ("rect", 8, 17, 25, 26),     # palm
        ("poly", [(2, 14), (5, 12), (9, 17), (9, 22)]),  # thumb
        ("rect", 11, 26, 23, 30),    # wrist
    ]

    def draw(colour, grow):
        for shape in shapes:
            if shape[0] == "rect":
                _, x0, y0, x1, y1 = shape
                c.rect(x0 - grow, y0 - grow, x1 + grow, y1 + grow, colour)
            else:
                pts = shape[1]
                cx = sum(p[0] for p in pts) / len(pts)
                cy = sum(p[1] for p in pts) / len(pts)
                scaled = [(cx + (x - cx) * (1 + grow / 3.0), cy + (y - cy) * (1 + grow / 3.0)) for x, y in pts]
                c.polygon(scaled, colour)

    draw(black, 1)
    draw(WHITE, 0)
    for x0 in (13, 17, 21):
        c.rect(x0, 12 if x0 > 13 else 10, x0 + 1, 18, black)
    return c


def write_cur(path, canvas, hot_x, hot_y):
    """A cursor file: an icon file of type 2 whose directory entry carries the hot spot."""
    image = ico_image(canvas)
    out = bytearray(struct.pack("<HHH", 0, 2, 1))
    out += struct.pack("<BBBBHHII", canvas.w % 256, canvas.h % 256, 0, 0, hot_x, hot_y, len(image), 22)
    out += image
    with open(path, "wb") as f:
        f.write(out)


def main():
    write_ico(os.path.join(HERE, "web_page.ico"), [supersampled(32, web_page), supersampled(16, web_page)])
    write_bmp(os.path.join(HERE, "shortcut_background.bmp"), background())
    write_cur(os.path.join(HERE, "shortcut_hand.cur"), hand(), 10, 1)


if __name__ == "__main__":
    main()
