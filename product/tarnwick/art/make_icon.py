"""Writes tarnwick.ico: the emblem at 32x32 in 16 and in 256 colours.

Usage: make_icon.py [output]   (default: ../tarnwick.ico beside this folder)

Both images are bottom-up BMP DIBs with an AND mask, the form every version
of Windows reads; PNG-compressed entries are deliberately not used.
"""

import os
import struct
import sys

sys.dont_write_bytecode = True  # keep the product folder free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import emblem  # noqa: E402

SIZE = 32


def _pack_row(indices, bpp):
    bits = 0
    nbits = 0
    out = bytearray()
    for i in indices:
        bits = (bits << bpp) | i
        nbits += bpp
        if nbits == 8:
            out.append(bits)
            bits = nbits = 0
    if nbits:
        out.append(bits << (8 - nbits))
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def dib(rows, palette, bpp):
    """One icon image: header, palette, colour bits, then the AND mask."""
    cache = {}
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIB rows run bottom-up
        # Transparent pixels must be black in the colour bits, or Windows
        # XORs them onto whatever lies behind the icon.
        xor += _pack_row([0 if c is None else emblem.nearest(palette, c, cache)
                          for c in row], bpp)
        mask += _pack_row([1 if c is None else 0 for c in row], 1)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, bpp, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + pal + bytes(xor) + bytes(mask)


def build():
    # The 16-colour image is drawn without smoothing: blended edges would
    # only dither into stray base colours.
    sharp = emblem.render(SIZE, SIZE, emblem.badge_colour16, samples=1)
    smooth = emblem.render(SIZE, SIZE, samples=3)
    images = [(dib(sharp, emblem.VGA16, 4), 16, 4),
              (dib(smooth, emblem.palette256(), 8), 0, 8)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for data, colours, bpp in images:
        out += struct.pack('<BBBBHHII', SIZE, SIZE, colours, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(data for data, _, _ in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else \
        os.path.join(here, '..', 'tarnwick.ico')
    with open(target, 'wb') as f:
        f.write(build())


if __name__ == '__main__':
    main()
