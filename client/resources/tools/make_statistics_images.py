#!/usr/bin/env python3
"""Draws the activity pictures of the statistics window: two computers joined by a line, with lit
screens (activity_on.ico, bytes came in at the last refresh) or dark screens (activity_off.ico).

Run from anywhere: python3 client/resources/tools/make_statistics_images.py
The files are written beside this script and committed; the build only compiles them.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

from make_images import supersampled, write_ico  # noqa: E402

FRAME = (70, 74, 82, 255)
FRAME_EDGE = (40, 42, 48, 255)
STAND = (110, 114, 122, 255)
CABLE = (60, 150, 60, 255)
LIT = (120, 220, 255, 255)
LIT_GLOW = (230, 250, 255, 255)
DARK = (28, 40, 56, 255)
DARK_GLOW = (48, 62, 80, 255)


def computer(c, s, x, y, lit):
    """A monitor of 16 x 12 units with its top-left corner at (x, y), on a small stand."""
    c.rect((x + 6) * s, (y + 12) * s, (x + 10) * s, (y + 14) * s, STAND)
    c.rect((x + 3) * s, (y + 14) * s, (x + 13) * s, (y + 15.5) * s, STAND)
    c.rect(x * s, y * s, (x + 16) * s, (y + 12) * s, FRAME_EDGE)
    c.rect((x + 0.8) * s, (y + 0.8) * s, (x + 15.2) * s, (y + 11.2) * s, FRAME)
    screen, glow = (LIT, LIT_GLOW) if lit else (DARK, DARK_GLOW)
    c.rect((x + 2) * s, (y + 2) * s, (x + 14) * s, (y + 10) * s, screen)
    c.polygon([((x + 2) * s, (y + 2) * s), ((x + 8) * s, (y + 2) * s), ((x + 2) * s, (y + 6) * s)], glow)


def activity(lit):
    def draw(c, s):
        c.line(9 * s, 17 * s, 9 * s, 26 * s, 1.6 * s, CABLE)
        c.line(9 * s, 26 * s, 16 * s, 26 * s, 1.6 * s, CABLE)
        computer(c, s, 1, 1, lit)
        computer(c, s, 15, 15, lit)

    return draw


def main():
    for name, lit in (("activity_on.ico", True), ("activity_off.ico", False)):
        write_ico(os.path.join(HERE, name), [supersampled(32, activity(lit)), supersampled(16, activity(lit))])


if __name__ == "__main__":
    main()
