#!/usr/bin/env python3
"""Draws the updater's icon: a green disc with a white arrow pointing down into a tray.

Run from anywhere: python3 updater/make_icon.py
The icon is written beside this script and committed; the build only compiles it. The drawing
helpers are the client's (client/resources/make_images.py).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "client", "resources"))

from make_images import supersampled, write_ico  # noqa: E402


def renewer(c, s):
    white = (255, 255, 255, 255)
    c.circle(16 * s, 16 * s, 14.5 * s, (20, 110, 50, 255))
    c.circle(16 * s, 16 * s, 13 * s, (45, 165, 80, 255))
    c.rect(13.5 * s, 6 * s, 18.5 * s, 16 * s, white)
    c.polygon([(8.5 * s, 15 * s), (23.5 * s, 15 * s), (16 * s, 22.5 * s)], white)
    c.rect(8 * s, 23.5 * s, 24 * s, 26 * s, white)


def main():
    write_ico(os.path.join(HERE, "Renewer.ico"), [supersampled(32, renewer), supersampled(16, renewer)])


if __name__ == "__main__":
    main()
