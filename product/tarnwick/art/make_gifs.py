"""Writes the two pictures of the help page, files/tw.gif (the emblem, 64x64)
and files/tw-target.gif (the 32x32 marker that flags where a page's menu goes),
as GIF89a with a transparent background.

Usage: make_gifs.py [output-folder]   (default: ../files beside this folder)

The encoder is our own few lines so the bytes do not depend on which image
tools a machine has.
"""

import math
import os
import struct
import sys

sys.dont_write_bytecode = True  # keep the product folder free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import emblem  # noqa: E402

# Magenta never appears in the art, so its slot stands for "see-through".
TRANSPARENT_INDEX = 13


def target_colour(u, v):
    """Concentric rings with a wave through the middle: the marker."""
    d = math.hypot(u - 0.5, v - 0.5)
    if d > 0.48:
        return emblem.TRANSPARENT
    if d > 0.40 or 0.22 < d <= 0.30 or d <= 0.10:
        return emblem.NAVY
    if abs(v - emblem.surface(u) + 0.2) < 0.04:
        return emblem.FOAM
    return emblem.mix(emblem.SKY_TOP, emblem.SEA_TOP, v)


def lzw(indices, min_code_size=8):
    """GIF's variable-width LZW, codes packed least significant bit first."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nacc = 0

    def put(code, width):
        nonlocal acc, nacc
        acc |= code << nacc
        nacc += width
        while nacc >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nacc -= 8

    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    width = min_code_size + 1
    put(clear, width)
    prefix = ()
    for i in indices:
        grown = prefix + (i,)
        if grown in table:
            prefix = grown
            continue
        put(table[prefix], width)
        if next_code == 4096:
            # The table is full: start again rather than stop learning.
            put(clear, width)
            table = {(k,): k for k in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        else:
            table[grown] = next_code
            # The decoder widens one code later than we add the entry.
            if next_code == (1 << width) and width < 12:
                width += 1
            next_code += 1
        prefix = (i,)
    if prefix:
        put(table[prefix], width)
    put(end, width)
    if nacc:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(rows):
    height = len(rows)
    width = len(rows[0])
    palette = emblem.palette256()
    cache = {}
    indices = [TRANSPARENT_INDEX if c is None else
               emblem.nearest(palette, c, cache, skip=TRANSPARENT_INDEX)
               for row in rows for c in row]
    data = lzw(indices)
    out = bytearray(b'GIF89a')
    # Global colour table of 256 entries, 8 bits per primary.
    out += struct.pack('<HHBBB', width, height, 0xF7, 0, 0)
    for r, g, b in palette:
        out += bytes((r, g, b))
    # Graphic control extension: no animation, one transparent index.
    out += struct.pack('<BBBBHBB', 0x21, 0xF9, 4, 0x01, 0, TRANSPARENT_INDEX, 0)
    out += struct.pack('<BHHHHB', 0x2C, 0, 0, width, height, 0)
    out.append(8)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out.append(len(block))
        out += block
    out.append(0)
    out.append(0x3B)
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(here, '..', 'files')
    pictures = {
        'tw.gif': emblem.render(64, 64, samples=3),
        'tw-target.gif': emblem.render(32, 32, target_colour, samples=3),
    }
    for name, rows in pictures.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(gif(rows))


if __name__ == '__main__':
    main()
