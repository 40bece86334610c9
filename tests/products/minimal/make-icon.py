# Writes minimal.ico: 32x32 pixels in 16 colours, a light square framed in blue.
import struct

size = 32
colours = [(0, 0, 0), (0x80, 0x30, 0x10), (0x40, 0xC0, 0xE0)] + [(0, 0, 0)] * 13  # blue, green, red
palette = b"".join(struct.pack("<BBBx", *colour) for colour in colours)

def index(x, y):
    return 1 if min(x, y, size - 1 - x, size - 1 - y) < 3 else 2

pixels = b"".join(bytes(index(x, y) << 4 | index(x + 1, y) for x in range(0, size, 2))
                  for y in range(size))
mask = bytes(size * size // 8)  # every pixel opaque
header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(pixels) + len(mask), 0, 0, 16, 0)
image = header + palette + pixels + mask
entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
with open("minimal.ico", "wb") as icon:
    icon.write(struct.pack("<HHH", 0, 1, 1) + entry + image)
