#!/usr/bin/env python3
"""Draws the network diagnosis images: the stage pictures and the side bitmap.

Run from anywhere: python3 client/resources/tools/make_diagnosis_images.py
The files are written beside this script and committed; the build only compiles them.
Every stage has a neutral picture; the checked stages also have a working one (a green tick) and
a faulty one (a red cross), drawn as the neutral picture with a badge at its lower right.
Icons carry 48, 32 and 16 pixel images with an alpha channel.
"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(HERE))

from make_images import Canvas, supersampled, write_bmp, write_ico  # noqa: E402

WHITE = (255, 255, 255, 255)
DARK = (35, 55, 85, 255)


def card(c, s):
    """A network card: green board, gold contacts, a chip and the port bracket."""
    c.rect(2 * s, 7 * s, 25 * s, 23 * s, (20, 95, 45, 255))
    c.rect(3 * s, 8 * s, 24 * s, 22 * s, (45, 150, 75, 255))
    for k in range(7):
        x = 6 * s + k * 2.6 * s
        c.rect(x, 23 * s, x + 1.6 * s, 26 * s, (225, 180, 40, 255))
    c.rect(8 * s, 11 * s, 16 * s, 18 * s, (40, 45, 55, 255))
    for k in range(4):
        y = 11.8 * s + k * 1.7 * s
        c.rect(6.6 * s, y, 8 * s, y + 0.8 * s, (200, 200, 200, 255))
        c.rect(16 * s, y, 17.4 * s, y + 0.8 * s, (200, 200, 200, 255))
    c.rect(25 * s, 5 * s, 30 * s, 25 * s, (150, 160, 175, 255))
    c.rect(26 * s, 11 * s, 29.5 * s, 17 * s, DARK)
    c.rect(27 * s, 17 * s, 28.5 * s, 18.5 * s, DARK)


def gear(c, cx, cy, r, teeth, body, hole):
    for k in range(teeth):
        a = 2 * math.pi * k / teeth
        c.circle(cx + r * math.cos(a), cy + r * math.sin(a), r * 0.28, body)
    c.circle(cx, cy, r, body)
    c.circle(cx, cy, r * 0.38, hole)


def gears(c, s):
    """The PPPoE driver: two gears in mesh."""
    gear(c, 12 * s, 13 * s, 8 * s, 8, (70, 100, 150, 255), (0, 0, 0, 0))
    gear(c, 23 * s, 22 * s, 5.5 * s, 7, (225, 140, 30, 255), (0, 0, 0, 0))


def modem(c, s):
    """The cable modem: a flat box with its lights and the cable socket."""
    c.rect(9 * s, 4 * s, 10.5 * s, 12 * s, DARK)
    c.circle(9.75 * s, 4 * s, 1.2 * s, DARK)
    c.polygon([(3 * s, 14 * s), (29 * s, 14 * s), (30 * s, 25 * s), (2 * s, 25 * s)], (60, 75, 100, 255))
    c.polygon([(4 * s, 15 * s), (28 * s, 15 * s), (28.8 * s, 22 * s), (3.2 * s, 22 * s)], (120, 150, 195, 255))
    for k, col in enumerate([(60, 220, 90), (60, 220, 90), (250, 200, 40), (60, 220, 90)]):
        c.circle(7 * s + k * 3.5 * s, 18.5 * s, 1.1 * s, col + (255,))
    c.rect(22 * s, 17 * s, 26.5 * s, 20.5 * s, DARK)


def arrow(c, x0, x1, y, s, colour):
    """A horizontal arrow from x0 to x1 (either way) at height y."""
    head = 5 * s if x1 > x0 else -5 * s
    c.line(x0, y, x1 - head * 0.6, y, 3 * s, colour)
    c.polygon([(x1, y), (x1 - head, y - 4 * s), (x1 - head, y + 4 * s)], colour)


def link(c, s):
    """The link between the two sides: two arrows, one each way."""
    arrow(c, 3 * s, 29 * s, 11 * s, s, (40, 120, 210, 255))
    arrow(c, 29 * s, 3 * s, 21 * s, s, (40, 170, 80, 255))


def pointer(c, x0, y0, x1, y1, s, colour):
    """A straight arrow from (x0, y0) with its head at (x1, y1)."""
    length = math.hypot(x1 - x0, y1 - y0)
    dx, dy = (x1 - x0) / length, (y1 - y0) / length
    px, py = -dy, dx
    bx, by = x1 - dx * 3.4 * s, y1 - dy * 3.4 * s
    c.line(x0, y0, bx, by, 1.9 * s, colour)
    c.polygon([(x1, y1), (bx + px * 2.4 * s, by + py * 2.4 * s), (bx - px * 2.4 * s, by - py * 2.4 * s)], colour)


def gateway(c, s):
    """The gateway: a router disc with two arrows in and two out."""
    c.circle(16 * s, 16 * s, 14 * s, (20, 75, 150, 255))
    c.circle(16 * s, 16 * s, 12.6 * s, (50, 130, 215, 255))
    for k, outward in ((0, True), (1, False), (2, True), (3, False)):
        ang = k * math.pi / 2 + math.pi / 4
        dx, dy = math.cos(ang), math.sin(ang)
        near, far = 2.5 * s, 10.5 * s
        inner = (16 * s + dx * near, 16 * s + dy * near)
        outer = (16 * s + dx * far, 16 * s + dy * far)
        start, tip = (inner, outer) if outward else (outer, inner)
        pointer(c, start[0], start[1], tip[0], tip[1], s, WHITE)


def server(c, s):
    """The authentication and accounting server: a tower with its drive bays."""
    c.rect(8 * s, 2 * s, 24 * s, 30 * s, (50, 60, 80, 255))
    c.rect(9 * s, 3 * s, 23 * s, 29 * s, (150, 165, 185, 255))
    for k in range(4):
        y = 5 * s + k * 4 * s
        c.rect(10.5 * s, y, 21.5 * s, y + 2.8 * s, (70, 85, 110, 255))
        c.circle(19.8 * s, y + 1.4 * s, 0.7 * s, (60, 220, 90, 255))
    c.circle(16 * s, 25 * s, 1.8 * s, (70, 85, 110, 255))


def badge(draw, working):
    """The picture with a tick (working) or a cross (faulty) in a disc at its lower right."""

    def both(c, s):
        draw(c, s)
        c.circle(24 * s, 24 * s, 8 * s, WHITE)
        if working:
            c.circle(24 * s, 24 * s, 6.6 * s, (30, 160, 60, 255))
            c.line(20.2 * s, 24.2 * s, 23 * s, 27 * s, 2.2 * s, WHITE)
            c.line(23 * s, 27 * s, 28 * s, 20.8 * s, 2.2 * s, WHITE)
        else:
            c.circle(24 * s, 24 * s, 6.6 * s, (210, 40, 40, 255))
            c.line(21 * s, 21 * s, 27 * s, 27 * s, 2.2 * s, WHITE)
            c.line(27 * s, 21 * s, 21 * s, 27 * s, 2.2 * s, WHITE)

    return both


def write_icon(name, draw):
    write_ico(os.path.join(HERE, name), [supersampled(size, draw) for size in (48, 32, 16)])


def side_bitmap(w=120, h=339):
    """The side bitmap: a blue gradient with a net of linked nodes and a magnifier over it."""
    top, bottom = (20, 70, 140), (120, 185, 235)
    c = Canvas(w, h, top)
    for y in range(h):
        t = y / float(h - 1)
        colour = tuple(int(top[k] + (bottom[k] - top[k]) * t) for k in range(3))
        for x in range(w):
            c.px[y][x] = colour
    nodes = [(22, 60), (70, 40), (98, 92), (40, 120), (84, 150), (28, 196), (92, 220), (56, 262), (20, 300),
             (96, 300)]
    edges = [(0, 1), (1, 2), (0, 3), (3, 4), (2, 4), (3, 5), (4, 6), (5, 7), (6, 7), (7, 8), (7, 9)]
    line_colour = (190, 220, 250)
    for a, b in edges:
        (x0, y0), (x1, y1) = nodes[a], nodes[b]
        c.line(x0, y0, x1, y1, 2, line_colour)
    for x, y in nodes:
        c.circle(x, y, 7, (255, 255, 255))
        c.circle(x, y, 5, (50, 140, 225))
    # The magnifier of the diagnosis over the net.
    c.ring(62, 176, 22, 27, (250, 250, 250))
    c.line(80, 195, 98, 214, 8, (250, 250, 250))
    return c


def main():
    stages = {
        "diag_card": card,
        "diag_driver": gears,
    }
    for name, draw in stages.items():
        write_icon(name + ".ico", draw)
        write_icon(name + "_working.ico", badge(draw, True))
        write_icon(name + "_faulty.ico", badge(draw, False))
    for name, draw in (("diag_modem", modem), ("diag_gateway", gateway), ("diag_server", server)):
        write_icon(name + ".ico", draw)
        write_icon(name + "_working.ico", badge(draw, True))
        write_icon(name + "_faulty.ico", badge(draw, False))
    write_icon("diag_link.ico", link)
    write_bmp(os.path.join(HERE, "diag_side.bmp"), side_bitmap())


if __name__ == "__main__":
    main()
