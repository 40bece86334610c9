"""The Tarnwick emblem: a tern in flight over a wave, inside a round badge.

Everything is described in unit coordinates (u right, v down, both 0..1) so
the icon, the about picture and the help images draw the same shape at any
size. Nothing is random and only the standard library is used, so running a
script again gives the same bytes; tests/check_product_files.py holds the
committed pictures to that.
"""

import math

NAVY = (16, 40, 96)
WHITE = (250, 251, 253)
TRANSPARENT = None

# Distances below are in badge units; the outline has to survive being drawn
# 32 pixels wide, so it is close to one pixel there.
OUTLINE = 0.035


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def surface(u):
    """Height of the water line at u: one and a half gentle swells."""
    return 0.70 + 0.045 * math.sin(2.0 * math.pi * (1.5 * u + 0.1))


def _in_wing(u, v, cu):
    # Each wing is a shallow arc of a large ring cut off at the shoulder
    # line, so the pair reads as a bird gliding, not as two loops.
    cv, radius, half, shoulder = 0.60, 0.20, 0.04, 0.47
    if v > shoulder:
        return False
    d = math.hypot(u - cu, v - cv)
    # Narrow towards the outer tip so the wings end in points.
    taper = max(0.0, 1.0 - abs(u - 0.5) / 0.33)
    return abs(d - radius) <= half * taper


def in_tern(u, v):
    if _in_wing(u, v, 0.335) or _in_wing(u, v, 0.665):
        return True
    # Body: a small ellipse where the wings meet.
    if ((u - 0.5) / 0.045) ** 2 + ((v - 0.49) / 0.075) ** 2 <= 1.0:
        return True
    # The forked tail that tells a tern from a gull.
    for side in (-1.0, 1.0):
        t = (v - 0.53) / 0.10
        if 0.0 <= t <= 1.0:
            centre = 0.5 + side * 0.045 * t
            if abs(u - centre) <= 0.018 * (1.0 - t) + 0.004:
                return True
    return False


def _near_tern(u, v, r):
    for k in range(16):
        a = k * math.pi / 8.0
        if in_tern(u + r * math.cos(a), v + r * math.sin(a)):
            return True
    return False


def region(u, v):
    """Which part of the picture (u, v) falls in."""
    d = math.hypot(u - 0.5, v - 0.5)
    if d > 0.48:
        return 'outside'
    if d > 0.435:
        return 'rim'
    return scene_region(u, v)


def scene_region(u, v):
    if in_tern(u, v):
        return 'tern'
    if _near_tern(u, v, OUTLINE):
        return 'outline'
    s = surface(u)
    if v < s - 0.03:
        return 'sky'
    if v < s:
        return 'foam'
    return 'sea' if v < s + 0.12 else 'deep'


def _smooth(name, u, v):
    if name == 'outside':
        return TRANSPARENT
    if name in ('rim', 'outline'):
        return NAVY
    if name == 'tern':
        return WHITE
    s = surface(u)
    if name == 'sky':
        return mix(SKY_TOP, SKY_LOW, v / s)
    if name == 'foam':
        return FOAM
    return mix(SEA_TOP, SEA_LOW, (v - s) / (1.0 - s + 1e-9))


SKY_TOP, SKY_LOW = (150, 200, 240), (60, 130, 210)
SEA_TOP, SEA_LOW = (30, 90, 170), (10, 35, 90)
FOAM = (220, 238, 250)

# With only the base colours there is no gradient to draw, so each part gets
# the nearest flat colour that keeps the bird readable.
_FLAT = {
    'outside': TRANSPARENT, 'rim': (0, 0, 128), 'outline': (0, 0, 128),
    'tern': (255, 255, 255), 'sky': (0, 255, 255), 'foam': (255, 255, 255),
    'sea': (0, 0, 255), 'deep': (0, 0, 128),
}


def badge_colour(u, v):
    """Colour of the badge at (u, v), or TRANSPARENT outside it."""
    return _smooth(region(u, v), u, v)


def badge_colour16(u, v):
    """The badge in the sixteen base colours only."""
    return _FLAT[region(u, v)]


def scene_colour(u, v):
    """Sky, sea and tern without the badge rim, for pictures that fill a
    rectangle."""
    return _smooth(scene_region(u, v), u, v)


def render(width, height, colour=badge_colour, samples=3):
    """Rows of (r, g, b) or TRANSPARENT, top row first.

    A pixel is transparent only when most of its samples fall outside, so
    the badge edge stays solid; the visible samples are averaged.
    """
    rows = []
    n = samples * samples
    for y in range(height):
        row = []
        for x in range(width):
            seen = []
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / width
                    v = (y + (sy + 0.5) / samples) / height
                    c = colour(u, v)
                    if c is not TRANSPARENT:
                        seen.append(c)
            if len(seen) * 2 < n:
                row.append(TRANSPARENT)
            else:
                row.append(tuple(round(sum(c[i] for c in seen) / len(seen))
                                 for i in range(3)))
        rows.append(row)
    return rows


# The sixteen colours every display could show; the 16-colour icon must be
# drawn from these alone.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    """A fixed 256-colour palette: the sixteen base colours, a 6x6x6 cube and
    two 12-step ramps along the sky and the sea. Fixed rather than fitted to
    each picture so the icon and the GIFs always come out the same; the ramps
    keep the gradients from breaking into a few wide bands."""
    pal = list(VGA16)
    steps = (0, 51, 102, 153, 204, 255)
    for r in steps:
        for g in steps:
            for b in steps:
                pal.append((r, g, b))
    for i in range(12):
        pal.append(mix(SKY_TOP, SKY_LOW, i / 11.0))
    for i in range(12):
        pal.append(mix(SEA_TOP, SEA_LOW, i / 11.0))
    return pal


def nearest(palette, colour, cache=None, skip=None):
    """Index of the palette entry closest to colour, never `skip` (a slot
    reserved for transparency)."""
    if cache is not None and colour in cache:
        return cache[colour]
    best = min((i for i in range(len(palette)) if i != skip),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))
    if cache is not None:
        cache[colour] = best
    return best
