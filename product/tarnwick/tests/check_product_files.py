"""Checks Tarnwick's data files against what the installer and Windows
expect of them, and that the committed pictures are what the art scripts
make today.

Run: python3 -B check_product_files.py   (exit status 0 when all pass)
"""

import hashlib
import json
import os
import random
import struct
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
PRODUCT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(PRODUCT, 'art'))
import make_about_bitmap  # noqa: E402
import make_gifs  # noqa: E402
import make_icon  # noqa: E402

CHUNK_LIMIT = 30000


def read(*parts):
    with open(os.path.join(PRODUCT, *parts), 'rb') as f:
        return f.read()


def manifest():
    return json.loads(read('product.json'))


def gif_decode(data):
    """Just enough of a GIF reader for our own files: one image, a global
    colour table, LZW data. Returns (width, height, indices, transparent)."""
    assert data[:6] == b'GIF89a'
    width, height, flags = struct.unpack('<HHB', data[6:11])
    pos = 13 + ((3 << ((flags & 7) + 1)) if flags & 0x80 else 0)
    transparent = None
    while data[pos] == 0x21:
        if data[pos + 1] == 0xF9 and data[pos + 3] & 1:
            transparent = data[pos + 6]
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    assert data[pos] == 0x2C
    pos += 10  # image descriptor; no local colour table follows
    min_size = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    assert data[pos + 1] == 0x3B, 'trailer missing'
    return width, height, lzw_decode(bytes(stream), min_size), transparent


def lzw_decode(stream, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    bitpos = 0
    out = []
    table = None
    width = min_size + 1
    previous = None
    while True:
        code = 0
        for k in range(width):
            byte = stream[(bitpos + k) // 8]
            code |= ((byte >> ((bitpos + k) % 8)) & 1) << k
        bitpos += width
        if code == clear:
            table = [(i,) for i in range(clear)] + [None, None]
            width = min_size + 1
            previous = None
            continue
        if code == end:
            return out
        if code < len(table):
            entry = table[code]
            if previous is not None:
                table.append(previous + entry[:1])
        else:
            assert code == len(table), 'code out of range'
            entry = previous + previous[:1]
            table.append(entry)
        out.extend(entry)
        previous = entry
        if len(table) == (1 << width) and width < 12:
            width += 1


class Agreement(unittest.TestCase):
    def test_size_and_line_breaks(self):
        data = read(manifest()['agreement'])
        self.assertTrue(3200 <= len(data) <= 3400, len(data))
        # The installer's text box expects exactly CR CR LF between lines.
        self.assertTrue(data.endswith(b'\r\r\n'))
        rest = data.replace(b'\r\r\n', b'')
        self.assertNotIn(b'\r', rest)
        self.assertNotIn(b'\n', rest)
        self.assertTrue(all(32 <= b < 127 for b in rest))


class Icon(unittest.TestCase):
    def test_two_32px_bmp_images_in_16_and_256_colours(self):
        data = read(manifest()['icon'])
        reserved, kind, count = struct.unpack('<HHH', data[:6])
        self.assertEqual((reserved, kind, count), (0, 1, 2))
        seen = []
        end_of_last = 6 + 16 * count
        for i in range(count):
            w, h, colours, _, planes, bpp, size, offset = struct.unpack(
                '<BBBBHHII', data[6 + 16 * i:22 + 16 * i])
            self.assertEqual((w, h, planes), (32, 32, 1))
            self.assertEqual(offset, end_of_last, 'images must not overlap')
            end_of_last = offset + size
            image = data[offset:offset + size]
            hsize, dw, dh, _, dbpp, compression = struct.unpack(
                '<IiiHHI', image[:20])
            self.assertEqual((hsize, dw, dh, dbpp, compression),
                             (40, 32, 64, bpp, 0), 'a BMP DIB, AND mask included')
            palette = 4 << bpp
            xor = 32 * 32 * bpp // 8
            mask = 32 * 4
            self.assertEqual(size, 40 + palette + xor + mask)
            seen.append((bpp, colours))
        self.assertEqual(end_of_last, len(data))
        self.assertEqual(sorted(seen), [(4, 16), (8, 0)])


class Gifs(unittest.TestCase):
    def test_pictures_decode_to_their_sizes(self):
        for name, size in (('tw.gif', 64), ('tw-target.gif', 32)):
            w, h, pixels, transparent = gif_decode(read('files', name))
            self.assertEqual((w, h, len(pixels)), (size, size, size * size))
            # The corners are outside the round emblem and must show through.
            self.assertEqual(pixels[0], transparent)
            self.assertNotEqual(pixels[(size // 2) * size + size // 2], transparent)

    def test_encoder_round_trips_past_a_full_code_table(self):
        # Enough varied input to fill the 4096-entry table more than once.
        rng = random.Random(7)
        indices = [rng.choice((1, 2, 3, 4, 200)) for _ in range(60000)]
        self.assertEqual(lzw_decode(make_gifs.lzw(indices), 8), indices)
        self.assertEqual(lzw_decode(make_gifs.lzw([5]), 8), [5])


class Payload(unittest.TestCase):
    def test_every_source_file_fits_one_chunk(self):
        for entry in manifest()['payload']:
            if 'source' in entry:
                size = len(read(*entry['source'].split('/')))
                self.assertLess(size, CHUNK_LIMIT, entry['source'])

    def test_text_files_are_ascii_with_windows_line_ends(self):
        for entry in manifest()['payload']:
            src = entry.get('source', '')
            if src.endswith(('.htm', '.twr')):
                data = read(*src.split('/'))
                self.assertTrue(all(b in (10, 13) or 32 <= b < 127 for b in data), src)
                self.assertEqual(data.count(b'\n'), data.count(b'\r\n'), src)


class GeneratedArt(unittest.TestCase):
    """A changed script with a stale committed picture would ship art nobody
    can reproduce."""

    def test_committed_pictures_match_their_scripts(self):
        with tempfile.TemporaryDirectory() as tmp:
            sys_argv = sys.argv
            try:
                for module, args in ((make_icon, [os.path.join(tmp, 'i.ico')]),
                                     (make_about_bitmap, [os.path.join(tmp, 'a.bmp')]),
                                     (make_gifs, [tmp])):
                    sys.argv = ['x'] + args
                    module.main()
            finally:
                sys.argv = sys_argv
            pairs = (('i.ico', ('tarnwick.ico',)),
                     ('a.bmp', ('programs', 'tarnwick', 'about.bmp')),
                     ('tw.gif', ('files', 'tw.gif')),
                     ('tw-target.gif', ('files', 'tw-target.gif')))
            for made, committed in pairs:
                with open(os.path.join(tmp, made), 'rb') as f:
                    fresh = hashlib.sha256(f.read()).hexdigest()
                kept = hashlib.sha256(read(*committed)).hexdigest()
                self.assertEqual(fresh, kept, '/'.join(committed) +
                                 ' is stale: rerun its script in art/')


if __name__ == '__main__':
    unittest.main()
