"""Writes the about picture shown in Tarnwick's window: the emblem badge on a
soft sky-to-sea backdrop, as an uncompressed 24-bit BMP.

Usage: make_about_bitmap.py [output]
       (default: ../programs/tarnwick/about.bmp beside this folder)

The picture is kept uncompressed on purpose: it is most of tarnwick.exe, and
the installer's packing is meant to meet a program of realistic size.
"""

import math
import os
import struct
import sys

sys.dont_write_bytecode = True  # keep the product folder free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import emblem  # noqa: E402

WIDTH = 230
HEIGHT = 200
BADGE = 150  # pixels across the badge


def backdrop(x, y):
    # Pale diagonal wash with faint ripples, light enough that the badge rim
    # stands out against it.
    t = (x / WIDTH + y / HEIGHT) / 2.0
    base = emblem.mix((236, 244, 252), (176, 206, 236), t)
    ripple = 6.0 * math.sin(y / 7.0 + 1.8 * math.sin(x / 23.0))
    return tuple(max(0, min(255, round(c + ripple))) for c in base)


def colour(u, v):
    # Sampled per sub-pixel, so the badge edge blends into the backdrop.
    x, y = u * WIDTH, v * HEIGHT
    c = emblem.badge_colour((x - (WIDTH - BADGE) / 2.0) / BADGE,
                            (y - (HEIGHT - BADGE) / 2.0) / BADGE)
    return c if c is not None else backdrop(x, y)


def picture():
    return emblem.render(WIDTH, HEIGHT, colour, samples=3)


def bmp(rows):
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up, as BMP stores it
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    head = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return head + info + bytes(pixels)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(here, '..', 'programs', 'tarnwick', 'about.bmp')
    with open(target, 'wb') as f:
        f.write(bmp(picture()))


if __name__ == '__main__':
    main()
