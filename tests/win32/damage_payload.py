"""Copies a product's generated chunk files with one byte flipped.

    damage_payload.py SOURCE-FOLDER TARGET-FOLDER

The byte is the middle one of the chunk that holds the middle of the chunk
file, so the damage lies inside a zlib stream that extraction must reject
after earlier chunks were already written.
"""
import re
import shutil
import sys

source, target = sys.argv[1], sys.argv[2]
listing = open(f"{source}/payload_chunks.S").read()
chunks = [(int(o), int(n)) for o, n in re.findall(r'\.incbin\s+"payload_chunks\.bin",\s*(\d+),\s*(\d+)', listing)]
data = bytearray(open(f"{source}/payload_chunks.bin", "rb").read())
middle = len(data) // 2
offset, length = next((o, n) for o, n in chunks if o <= middle < o + n)
data[offset + length // 2] ^= 0xFF
open(f"{target}/payload_chunks.bin", "wb").write(data)
shutil.copyfile(f"{source}/payload_chunks.S", f"{target}/payload_chunks.S")
