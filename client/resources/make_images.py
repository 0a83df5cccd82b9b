#!/usr/bin/env python3
"""Draws the client's images: window and tray icons, toolbar and tab strips.

Run from anywhere: python3 client/resources/make_images.py
The files are written beside this script and committed; the build only compiles them.
Masked strips use magenta as the transparent colour; icons carry an alpha channel.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg for _ in range(w)] for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, test, c):
        for y in range(self.h):
            for x in range(self.w):
                if test(x + 0.5, y + 0.5):
                    self.px[y][x] = c

    def circle(self, cx, cy, r, c):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, c)

    def ring(self, cx, cy, r0, r1, c):
        self.fill(lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1, c)

    def rect(self, x0, y0, x1, y1, c):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, c)

    def polygon(self, pts, c):
        def inside(x, y):
            n, hit = len(pts), False
            for i in range(n):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    hit = not hit
            return hit

        self.fill(inside, c)

    def line(self, x0, y0, x1, y1, width, c):
        def near(x, y):
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / float(dx * dx + dy * dy)))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= (width / 2.0) ** 2

        self.fill(near, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.put(ox + x, oy + y, other.px[y][x])


def write_bmp(path, canvas):
    row = (canvas.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        line = bytearray()
        for x in range(canvas.w):
            r, g, b = canvas.px[y][x][:3]
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def ico_image(canvas):
    """One 32-bit icon image: BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask."""
    w, h = canvas.w, canvas.h
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            p = canvas.px[y][x]
            r, g, b, a = p if len(p) == 4 else (p[0], p[1], p[2], 255)
            xor += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(w):
            p = canvas.px[y][x]
            if len(p) == 4 and p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def write_ico(path, canvases):
    images = [ico_image(c) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, "wb") as f:
        f.write(out)


def supersampled(size, draw, factor=4):
    """Draws at a larger size on a transparent canvas and averages down, for smooth icon edges."""
    big = Canvas(size * factor, size * factor, (0, 0, 0, 0))
    draw(big, size * factor / 32.0)
    small = Canvas(size, size, (0, 0, 0, 0))
    for y in range(size):
        for x in range(size):
            acc = [0, 0, 0, 0]
            for j in range(factor):
                for i in range(factor):
                    p = big.px[y * factor + j][x * factor + i]
                    a = p[3] if len(p) == 4 else 255
                    for k in range(3):
                        acc[k] += p[k] * a
                    acc[3] += a
            n = factor * factor
            if acc[3]:
                small.px[y][x] = tuple(int(acc[k] / acc[3]) for k in range(3)) + (int(acc[3] / n),)
    return small


def globe(c, s, body, rim, dot):
    c.circle(16 * s, 16 * s, 14.5 * s, rim)
    c.circle(16 * s, 16 * s, 13 * s, body)
    white = (255, 255, 255, 255)
    c.ring(16 * s, 16 * s, 12 * s, 13 * s, white)
    c.fill(lambda x, y: abs(((x - 16 * s) / (6 * s)) ** 2 + ((y - 16 * s) / (12.5 * s)) ** 2 - 1) < 0.12, white)
    c.rect(3.5 * s, 15.3 * s, 28.5 * s, 16.7 * s, white)
    c.rect(15.3 * s, 3.5 * s, 16.7 * s, 28.5 * s, white)
    c.circle(24.5 * s, 24.5 * s, 6.5 * s, (255, 255, 255, 255))
    c.circle(24.5 * s, 24.5 * s, 5 * s, dot)


def make_icons():
    online = lambda c, s: globe(c, s, (30, 120, 215, 255), (15, 70, 150, 255), (40, 185, 60, 255))
    offline = lambda c, s: globe(c, s, (150, 155, 160, 255), (95, 100, 105, 255), (200, 60, 50, 255))
    write_ico(os.path.join(HERE, "Quillon.ico"), [supersampled(32, online), supersampled(16, online)])
    write_ico(os.path.join(HERE, "Offline.ico"), [supersampled(32, offline), supersampled(16, offline)])


def toolbar_image(index):
    c = Canvas(48, 48, MAGENTA)
    white = (255, 255, 255)
    if index == 0:
        c.circle(24, 24, 21, (25, 135, 50))
        c.circle(24, 24, 19, (50, 180, 75))
        c.polygon([(18, 13), (18, 35), (36, 24)], white)
    elif index == 1:
        c.circle(24, 24, 21, (165, 30, 30))
        c.circle(24, 24, 19, (220, 60, 55))
        c.line(16, 16, 32, 32, 5, white)
        c.line(32, 16, 16, 32, 5, white)
    elif index == 2:
        steel, light = (55, 95, 145), (95, 145, 200)
        for k in range(8):
            a = k * math.pi / 4
            cx, cy = 24 + 17 * math.cos(a), 24 + 17 * math.sin(a)
            c.circle(cx, cy, 5, steel)
        c.circle(24, 24, 17, steel)
        c.circle(24, 24, 15, light)
        c.circle(24, 24, 6, MAGENTA)
    else:
        c.circle(24, 24, 21, (200, 110, 10))
        c.circle(24, 24, 19, (245, 150, 30))
        c.rect(20, 11, 28, 26, white)
        c.polygon([(12, 24), (36, 24), (24, 37)], white)
    return c


def grey(canvas, lighten=0.55):
    out = Canvas(canvas.w, canvas.h, MAGENTA)
    for y in range(canvas.h):
        for x in range(canvas.w):
            p = canvas.px[y][x]
            if p == MAGENTA:
                continue
            v = int(0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2])
            v = int(v + (255 - v) * lighten)
            out.px[y][x] = (v, v, v)
    return out


def tab_image(index):
    c = Canvas(32, 32, MAGENTA)
    if index == 0:
        blue, dark = (40, 120, 210), (20, 75, 150)
        c.circle(16, 10, 7, dark)
        c.circle(16, 10, 6, blue)
        c.fill(lambda x, y: y > 18 and ((x - 16) / 12.0) ** 2 + ((y - 30) / 11.0) ** 2 <= 1, dark)
        c.fill(lambda x, y: y > 19 and ((x - 16) / 11.0) ** 2 + ((y - 30) / 10.0) ** 2 <= 1, blue)
    elif index == 1:
        colours = [(40, 170, 80), (240, 150, 30), (40, 120, 210), (210, 60, 60)]
        for k, col in enumerate(colours):
            x, y = 3 + (k % 2) * 14, 3 + (k // 2) * 14
            c.rect(x, y, x + 12, y + 12, col)
            c.rect(x + 2, y + 2, x + 10, y + 4, (255, 255, 255))
    elif index == 2:
        pts = []
        for k in range(10):
            r = 15 if k % 2 == 0 else 6.5
            a = -math.pi / 2 + k * math.pi / 5
            pts.append((16 + r * math.cos(a), 17 + r * math.sin(a)))
        c.polygon(pts, (235, 160, 20))
        c.polygon([(16 + (x - 16) * 0.7, 17 + (y - 17) * 0.7) for x, y in pts], (255, 205, 60))
    else:
        dark, blue = (20, 75, 150), (40, 120, 210)
        c.ring(16, 17, 9, 12, dark)
        c.rect(2, 17, 30, 32, MAGENTA)
        c.rect(3, 15, 9, 27, blue)
        c.rect(23, 15, 29, 27, blue)
        c.line(26, 27, 18, 30, 2, dark)
        c.rect(14, 28, 19, 32, dark)
    return c


def strip(images, w, h):
    out = Canvas(w * len(images), h, MAGENTA)
    for k, img in enumerate(images):
        out.blit(img, k * w, 0)
    return out


def main():
    make_icons()
    bar = [toolbar_image(k) for k in range(4)]
    write_bmp(os.path.join(HERE, "Toolbar.bmp"), strip(bar, 48, 48))
    write_bmp(os.path.join(HERE, "ToolbarDisabled.bmp"), strip([grey(b) for b in bar], 48, 48))
    write_bmp(os.path.join(HERE, "Tabs.bmp"), strip([tab_image(k) for k in range(4)], 32, 32))
    body = Canvas(8, 8, (234, 244, 252))
    write_bmp(os.path.join(HERE, "Background.bmp"), body)


if __name__ == "__main__":
    main()
