#!/usr/bin/env python3
"""Draws Kelna's demo animation: a moonlit night over a small hill town by a lake.

Clouds drift past the moon, a hot-air balloon bounces slowly around the sky, fireflies
wander and blink above the hills, a bat circles the moon, stars twinkle here and there with
a soft chime, a shooting star crosses the sky once, and sparks burst from the middle of the
screen. Every picture is drawn here from shapes (no outside art) and packed by kelna-tool.

Writes into OUT:
  demo.foe        the sprite objects (kelna-tool pack, from the frames drawn here)
  demo.anm        the animation (kelna-tool pack, from an animation manifest)
  background.bmp  the night, 3840 x 2160, for the background setting, to be shown tiled
  music.mid       a short lullaby in 3/4, for the music setting (a format 0 MIDI file)
  blip.wav        the twinkling stars' chime (also held inside demo.foe)

One demo fits every screen from 1280 x 720 to 3840 x 2160 when its background is tiled
(BGImageMode=1 in the settings, kelna --mode 1, kelna-tool render --mode 1). Tiles start at
the window's top-left corner, so the picture's pixels are the window's on every screen, and
the places the animation file holds as they are (where sprites start, the paths of the bat
round the moon and of the shooting star) stay where the picture was drawn for them. The
moon, the town and all of those lie inside the top-left 1280 x 720; the hills with their
hamlets go on to the right, and below the shore a lake mirrors the sky, the moon and the
lit windows down to a bank of reeds, so a larger screen shows more of the same night. Across,
everything repeats with the picture's width, so a wider screen tiles it without a seam.
Sprites that move by the window's size (drifting, bouncing, random places, the burst from
the centre) start inside the same 1280 x 720.

--size WxH draws the background at WxH instead: a smaller one is the top-left part of the
same night, for one screen of that size (centred or tiled, it shows the same there); a
larger one repeats across and continues the bank down. Below 1280 x 720 the moon and the
town do not fit.

The animation file names its object file by path, and the saver opens that path as stored:
a relative one would be taken from the saver's working folder, not from the animation's.
So the path stored is absolute, INSTALL_DIR/demo.foe, where INSTALL_DIR is the folder the
files are used from (by default OUT itself). For a Windows machine name a Windows folder,
for example --install-dir 'C:\\Kelna\\demo'; the path must be writable in code page 932.

Standard library only; the same arguments always give the same files. Drawing takes some
10 to 15 seconds.

usage: make_demo.py --tool KELNA_TOOL --out OUT [--size WxH] [--install-dir DIR] [--sources DIR]
       make_demo.py --sheet-example DIR
  --sources DIR        keep the frames and manifests there (default: a temporary folder)
  --sheet-example DIR  write README's sprite sheet example there instead (tools/demo/sheet/:
                       the twinkling star's frames on one sheet, its manifests, and the sheet
                       as a sheet editor exports it)
"""

import argparse
import itertools
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from array import array

# --- Small helpers -------------------------------------------------------------------


class Random:
    """A fixed 32-bit xorshift generator, so the art never depends on Python's version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def uniform(self, low=0.0, high=1.0):
        return low + (high - low) * (self.next() / 4294967296.0)


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def smoothstep(edge0, edge1, value):
    t = clamp((value - edge0) / (edge1 - edge0))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def scale(colour, factor):
    return tuple(c * factor for c in colour)


def gradient(stops, t):
    """The colour at t of (position, colour) stops in rising order."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0))
    return stops[-1][1]


def value_noise(seed, period=0):
    """Smooth 2-D noise in 0..1 from a hashed lattice; with a period, it repeats every
    `period` cells across."""
    def lattice(ix, iy):
        if period:
            ix %= period
        h = (ix * 374761393 + iy * 668265263 + seed * 2147483647) & 0xFFFFFFFF
        h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
        return (h ^ (h >> 16)) / 4294967295.0

    def noise(x, y):
        ix, iy = math.floor(x), math.floor(y)
        fx, fy = x - ix, y - iy
        sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        top = lattice(ix, iy) + (lattice(ix + 1, iy) - lattice(ix, iy)) * sx
        bottom = lattice(ix, iy + 1) + (lattice(ix + 1, iy + 1) - lattice(ix, iy + 1)) * sx
        return top + (bottom - top) * sy
    return noise


# --- Shapes as signed distances (negative inside), in pixels ---------------------------------


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    # Not an exact distance, but close enough near the edge for antialiasing.
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1) * min(rx, ry)


def segment(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy or 1e-9

    def sdf(x, y):
        t = clamp(((x - ax) * dx + (y - ay) * dy) / length2)
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return sdf


def polygon(points):
    edges = list(zip(points, points[1:] + points[:1]))

    def sdf(x, y):
        inside = False
        best = float("inf")
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
            dx, dy = bx - ax, by - ay
            t = clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1e-9))
            best = min(best, math.hypot(x - ax - t * dx, y - ay - t * dy))
        return -best if inside else best
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


# --- Pictures ------------------------------------------------------------------------------


class Canvas:
    """Colour with coverage (premultiplied), painted with antialiased shapes, in three arrays
    of channels and one of coverage; an opaque canvas (one made with a colour) keeps no
    coverage. On a wrapping canvas the left and right edges meet: what is drawn past one comes
    in at the other."""

    def __init__(self, width, height, colour=None, wrap=False):
        self.width, self.height, self.wrap = width, height, wrap
        n = width * height
        self.r, self.g, self.b = (array("f", [c]) * n for c in (colour or (0.0, 0.0, 0.0)))
        self.alpha = None if colour else array("f", [0.0]) * n

    def _box(self, box):
        """The box's rows, and its columns as (x, the column it is drawn in) pairs."""
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        if self.wrap:
            columns = [(x, x % self.width) for x in range(math.floor(x0), math.ceil(x1))]
        else:
            columns = [(x, x) for x in range(max(0, int(x0)), min(self.width, math.ceil(x1)))]
        return range(max(0, int(y0)), min(self.height, math.ceil(y1))), columns

    def over(self, i, colour, amount):
        keep = 1.0 - amount
        self.r[i] = colour[0] * amount + self.r[i] * keep
        self.g[i] = colour[1] * amount + self.g[i] * keep
        self.b[i] = colour[2] * amount + self.b[i] * keep
        if self.alpha:
            self.alpha[i] = amount + self.alpha[i] * keep

    def light(self, i, colour, amount, cover=True):
        """Adds light; on a transparent canvas the light also makes the pixel cover."""
        self.r[i] += colour[0] * amount
        self.g[i] += colour[1] * amount
        self.b[i] += colour[2] * amount
        if cover and self.alpha:
            self.alpha[i] = min(1.0, self.alpha[i] + amount)

    def paint(self, shape, colour, box=None, opacity=1.0, soft=1.0):
        """Covers the shape with a colour; colour and opacity may be functions of x, y."""
        rows, columns = self._box(box)
        for y in rows:
            py = y + 0.5
            row = y * self.width
            for x, column in columns:
                px = x + 0.5
                cover = 0.5 - shape(px, py) / soft
                if cover <= 0:
                    continue
                cover = min(cover, 1.0) * (opacity(px, py) if callable(opacity) else opacity)
                self.over(row + column, colour(px, py) if callable(colour) else colour, cover)

    def glow(self, cx, cy, radius, colour, strength, falloff=2.0, cover=True):
        """A soft light whose strength falls off with the distance from its centre."""
        rows, columns = self._box((cx - radius, cy - radius, cx + radius + 1, cy + radius + 1))
        for y in rows:
            for x, column in columns:
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / radius
                if d < 1:
                    self.light(y * self.width + column, colour, strength * (1 - d) ** falloff, cover)

    def shade(self, function, shape=None, box=None):
        """Recolours covered pixels (inside the shape): function(x, y, colour) gives the new
        colour for the old one, both as seen, not multiplied by the coverage."""
        rows, columns = self._box(box)
        for y in rows:
            for x, column in columns:
                i = y * self.width + column
                a = self.alpha[i] if self.alpha else 1.0
                if a > 0 and (shape is None or shape(x + 0.5, y + 0.5) < 0.5):
                    seen = function(x + 0.5, y + 0.5, (self.r[i] / a, self.g[i] / a, self.b[i] / a))
                    self.r[i], self.g[i], self.b[i] = (c * a for c in seen)

    def fill_below(self, crest, top, bottom, depth, end):
        """Covers every column from its crest (crest[x], the height at the column's middle)
        down to row `end`, shaded from `top` at the crest to `bottom` `depth` pixels lower, a
        row at a time; the crest is antialiased."""
        w = self.width
        top_most, bottom_most = min(crest), max(crest)
        for y in range(max(0, int(top_most)), min(end, self.height)):
            py = y + 0.5
            i = y * w
            if py - bottom_most >= depth:  # the bottom colour all across
                for channel, b in zip((self.r, self.g, self.b), bottom):
                    channel[i:i + w] = array("f", [b]) * w
                continue
            down = [min(1.0, max(0.0, (py - h) / depth)) for h in crest]
            cover = None if py - bottom_most >= 0.5 else [min(1.0, max(0.0, py - h + 0.5)) for h in crest]
            for channel, t, b in zip((self.r, self.g, self.b), top, bottom):
                if cover is None:
                    channel[i:i + w] = array("f", [t + (b - t) * s for s in down])
                else:
                    old = channel[i:i + w]
                    channel[i:i + w] = array("f", [o + (t + (b - t) * s - o) * c for o, s, c in zip(old, down, cover)])


def png_rgba(width, height, pixel):
    """An 8-bit RGBA PNG file; pixel(x, y) gives (r, g, b, a) with y from the top."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter type: none
        for x in range(width):
            rows += bytes(pixel(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) +
            chunk(b"IEND", b""))


def bmp_24(canvas, width, height):
    """A 24-bit BMP file of width x height from the canvas: past its right edge the canvas
    repeats, below its last row that row does."""
    stride = (width * 3 + 3) & ~3
    padding = bytes(stride - width * 3)
    w = canvas.width
    rows = []
    for y in range(min(height, canvas.height)):
        i = y * w
        row = bytearray(w * 3)
        for offset, channel in enumerate((canvas.b, canvas.g, canvas.r)):
            values = channel[i:i + w]
            if max(values) > 255:
                values = map(min, values, itertools.repeat(255))
            row[offset::3] = bytes(map(round, values))
        rows.append((bytes(row) * -(-width // w))[:width * 3] + padding)
    rows += rows[-1:] * (height - len(rows))
    pixels = b"".join(reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) + header + pixels


BAYER = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)


def sprite_frame(canvas, backdrop, glow=False):
    """A PNG file of a sprite frame (see frame_pixels)."""
    return png_rgba(canvas.width, canvas.height, frame_pixels(canvas, backdrop, glow))


def frame_pixels(canvas, backdrop, glow=False):
    """The pixels of a sprite frame, pixel(x, y), each opaque or fully transparent; kelna-tool pack
    makes the frame's image and mask from its alpha. A pixel at least half covered covers
    the background, mixed with the backdrop colour
    it will mostly be seen on. The faint part of a glow is dithered instead: a share of its
    pixels that grows with its coverage shows the glow's own colour, a little dimmed, so that
    it fades into whatever lies behind it without a rim of the wrong colour."""
    w = canvas.width
    covered, colours = [], []
    for i, a in enumerate(canvas.alpha):
        x, y = i % w, i // w
        rgb = (canvas.r[i], canvas.g[i], canvas.b[i])
        if a >= 0.5:
            covered.append(True)
            colours.append(tuple(c + k * (1 - a) for c, k in zip(rgb, backdrop)))
        elif glow and a > (BAYER[(y % 4) * 4 + x % 4] + 0.5) / 16 * 0.5:
            covered.append(True)
            colours.append(tuple(c / a * 0.75 for c in rgb))
        else:
            covered.append(False)
            colours.append((0, 0, 0))

    def pixel(x, y):
        i = y * w + x
        return tuple(int(clamp(c, 0, 255) + 0.5) for c in colours[i]) + (255 if covered[i] else 0,)

    return pixel


# --- The background ----------------------------------------------------------------------------
# One picture for every screen, played tiled: its pixels are the window's, from the top-left
# corner. Everything the animation file places by position lies inside VIEW, the smallest
# screen; the night goes on to the right and down for larger ones. Across, everything repeats
# with the picture's width, so that its edges meet.

WIDTH, HEIGHT = 3840, 2160
VIEW = (1280, 720)
UNIT = 1.5      # pixels a unit: the shapes were drawn for 640 x 480, a unit a pixel, and are
                # drawn as large as on a 720-high screen
SHORE = 684     # the lake's far shore: the hills stand on it, the water mirrors them below
MOON = (1000.0, 138.0, 27 * UNIT)  # centre and radius

SKY = ((0.00, (3, 5, 18)), (0.35, (11, 17, 50)), (0.60, (26, 31, 84)), (0.72, (52, 44, 108)),
       (0.80, (96, 64, 120)), (0.86, (124, 78, 116)))
WINDOW_LIGHT = (255, 196, 104)
MOONLIGHT = (255, 244, 214)
DEEP_WATER = (3, 6, 16)


def waves(x, *terms):
    """A sum of sines, each (amplitude, how often it repeats across the picture, phase):
    the same at x and at x + WIDTH."""
    t = 2 * math.pi * x / WIDTH
    return sum(a * math.sin(k * t + p) for a, k, p in terms)


def far_hills(x):
    return VIEW[1] - UNIT * (128 - waves(x, (13, 4, 1.0), (8, 10, 2.3), (4, 18, 0.0)))


def near_hills(x):
    return VIEW[1] - UNIT * (76 - waves(x, (20, 3, 2.2), (7, 8, 0.5), (2, 24, 0.0)))


def near_shore(x):
    """The top of the bank in front, below the lake."""
    return 1720 + waves(x, (60, 2, 0.7), (34, 5, 2.1), (13, 13, 0.4))


def milky_way_centre(x):
    """An arch across the sky: from low at the picture's edges up past the top in its middle."""
    return 175 + 255 * math.cos(2 * math.pi * x / WIDTH)


def tiled_noise(seed, cell):
    """value_noise in pixels, its lattice cells about `cell` pixels wide, repeating across
    the picture's width; offsets move it by whole cells."""
    cells = max(1, round(WIDTH / cell))
    noise = value_noise(seed, cells)
    k = cells / WIDTH
    return lambda x, y, ox=0, oy=0: noise(x * k + ox, y * k + oy)


def milky_way(rows):
    """The Milky Way's light, worked out on a grid of 4 pixels and spread between its
    points: a function of the row giving the row's light (WIDTH values), or None for none."""
    step = 4
    octaves = [tiled_noise(7, cell * UNIT) for cell in (46.0, 17.0, 7.0)]
    lanes = tiled_noise(11, 30 * UNIT)
    columns = WIDTH // step
    grid = []
    for j in range(rows // step + 2):
        y = j * step
        light = [0.0] * (columns + 1)
        for i in range(columns):
            x = i * step
            slope = -255 * 2 * math.pi / WIDTH * math.sin(2 * math.pi * x / WIDTH)
            d = (y - milky_way_centre(x)) / math.sqrt(1 + slope * slope) / UNIT
            if abs(d) > 134:  # the haze below 1 %
                continue
            n = 0.55 * octaves[0](x, y) + 0.3 * octaves[1](x, y, 9) + 0.15 * octaves[2](x, y, 0, 3)
            dark = 1 - 0.55 * math.exp(-((d - 10) / 14.0) ** 2) * lanes(x, y)
            light[i] = 46 * math.exp(-(d / 62.0) ** 2) * n * n * dark
        light[columns] = light[0]
        grid.append(light if any(light) else None)
    at = [x // step for x in range(WIDTH)]
    share = [(x % step) / step for x in range(WIDTH)]

    def row(y):
        above, below = grid[y // step], grid[y // step + 1]
        if above is None and below is None:
            return None
        t = (y % step) / step
        above, below = above or [0.0] * (columns + 1), below or [0.0] * (columns + 1)
        coarse = [a + (b - a) * t for a, b in zip(above, below)]
        return [coarse[i] + (coarse[i + 1] - coarse[i]) * s for i, s in zip(at, share)]
    return row


def paint_sky(canvas):
    light = milky_way(SHORE)
    w = canvas.width
    for y in range(SHORE):
        base = gradient(SKY, y / VIEW[1])
        glow = light(y)
        i = y * w
        for channel, c, tint in zip((canvas.r, canvas.g, canvas.b), base, (0.85, 0.88, 1.0)):
            channel[i:i + w] = array("f", [c]) * w if glow is None else array("f", [c + tint * g for g in glow])


def paint_stars(canvas, rng):
    tints = ((255, 255, 255), (205, 218, 255), (255, 236, 206), (220, 230, 255))
    crowd = WIDTH * VIEW[1] / (640 * 480)
    stars = []
    for _ in range(int(260 * crowd)):
        stars.append((rng.uniform(0, WIDTH), rng.uniform(0, 370 * UNIT), rng.uniform() ** 3))
    # Many faint ones crowd the Milky Way.
    for _ in range(int(240 * crowd)):
        x = rng.uniform(0, WIDTH)
        spread = (rng.uniform() + rng.uniform() + rng.uniform() - 1.5) * 70 * UNIT
        stars.append((x, milky_way_centre(x) + spread, 0.25 * rng.uniform() ** 2))
    for x, y, brightness in stars:
        if not -4 < y < far_hills(x) - 2:
            continue
        tint = tints[int(rng.uniform(0, len(tints)))]
        strength = 0.25 + 0.9 * brightness
        canvas.glow(x, y, 1.4 + 1.6 * brightness, tint, strength, falloff=1.6)
        if brightness > 0.55:  # a faint cross on the brightest few
            for dx, dy in ((1, 0), (0, 1)):
                canvas.paint(segment(x - 5 * dx, y - 5 * dy, x + 5 * dx, y + 5 * dy, 0.3), tint,
                             (x - 6, y - 6, x + 7, y + 7), opacity=0.35 * brightness)


def paint_moon(canvas):
    cx, cy, r = MOON
    canvas.glow(cx, cy, r * 6.5, (120, 130, 190), 0.55, falloff=3.0)
    canvas.glow(cx, cy, r * 2.2, (200, 205, 240), 0.35, falloff=2.0)
    maria = value_noise(5)

    def surface(x, y):
        d = min(1.0, math.hypot(x - cx, y - cy) / r)
        light = 0.80 + 0.20 * math.sqrt(1 - d * d)
        tx, ty = (x - cx) / UNIT, (y - cy) / UNIT
        patch = 0.65 * maria(tx / 11.0 + 3, ty / 11.0 + 5) + 0.35 * maria(tx / 4.0, ty / 4.0)
        light -= 0.13 * smoothstep(0.42, 0.78, patch)
        return scale((255, 248, 226), light)
    canvas.paint(circle(cx, cy, r), surface, (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2))


# Where houses stand along the near crest, in units: the town with its church, then a farm
# and hamlets further along, none of them across the right edge of a common screen.
TOWN = (76, 250)
HAMLETS = ((532, 1), (1032, 3), (1560, 4), (2096, 3))  # (where it starts, how many houses)


def paint_hills(canvas, rng):
    w = canvas.width
    near = [near_hills(x + 0.5) for x in range(w)]
    canvas.fill_below([far_hills(x + 0.5) for x in range(w)], (38, 32, 74), (18, 17, 42), 60 * UNIT,
                      int(max(near)) + 2)
    # Pines along the near crest, but where houses stand, then the near hills over their feet.
    built = [(TOWN[0] - 6, TOWN[1] + 12)] + [(at - 6, at + 26 * count + 6) for at, count in HAMLETS]
    x = 4.0
    while x < w:
        base = near_hills(x)
        tall = rng.uniform(10, 22) * UNIT
        if not any(a * UNIT < x < b * UNIT for a, b in built):
            canvas.paint(polygon([(x, base - tall), (x + tall * 0.32, base + 2 * UNIT), (x - tall * 0.32, base + 2 * UNIT)]),
                         (14, 12, 30), (x - 9 * UNIT, base - tall - 1, x + 9 * UNIT, base + 3 * UNIT))
        x += rng.uniform(9, 30) * UNIT
    canvas.fill_below(near, (15, 13, 32), (5, 5, 12), 70 * UNIT, SHORE)


WALL = (17, 14, 30)


def paint_house(canvas, rng, hx, width, height, roof, dark=0.35):
    """A house on the near crest, hx to hx + width units across, with lit windows (each
    window dark by the chance `dark`)."""
    u = UNIT
    base = near_hills((hx + width / 2) * u) / u + 6
    top = base - height
    body = union(polygon([(hx, base), (hx, top), (hx + width, top), (hx + width, base)]),
                 polygon([(hx - 1.5, top + 0.5), (hx + width / 2, top - roof), (hx + width + 1.5, top + 0.5)]))
    canvas.paint(scaled(body, u), WALL, scaled_box((hx - 3, top - roof - 2, hx + width + 3, base + 1), u))
    paint_windows(canvas, rng, hx, top, width, height, u, dark)


def paint_town(canvas, rng):
    """Houses with lit windows along the near crest, and a church with a spire; then the
    farm and the hamlets."""
    u = UNIT
    houses = []
    x = float(TOWN[0])
    while x < TOWN[1]:
        width = rng.uniform(15, 26)
        houses.append((x, width, rng.uniform(11, 20), rng.uniform(7, 11)))
        x += width + rng.uniform(1, 5)
    church_x = 150.0
    for hx, width, height, roof in houses:
        if abs(hx + width / 2 - church_x) >= 20:
            paint_house(canvas, rng, hx, width, height, roof)
    # The church: nave, tower and spire, a round window.
    base = near_hills(church_x * u) / u + 6
    nave = polygon([(church_x - 14, base), (church_x - 14, base - 22), (church_x + 14, base - 22), (church_x + 14, base)])
    tower = polygon([(church_x - 5, base), (church_x - 5, base - 40), (church_x + 5, base - 40), (church_x + 5, base)])
    spire = polygon([(church_x - 6, base - 39), (church_x, base - 62), (church_x + 6, base - 39)])
    canvas.paint(scaled(union(nave, tower, spire), u), WALL, scaled_box((church_x - 16, base - 64, church_x + 16, base + 1), u))
    canvas.paint(scaled(circle(church_x, base - 30, 2.4), u), WINDOW_LIGHT,
                 scaled_box((church_x - 4, base - 34, church_x + 4, base - 26), u))
    canvas.glow(church_x * u, (base - 30) * u, 9 * u, WINDOW_LIGHT, 0.25)
    canvas.paint(scaled(segment(church_x, base - 62, church_x, base - 68, 0.5), u), (60, 55, 80))
    for at, count in HAMLETS:
        x = float(at)
        for _ in range(count):
            width = rng.uniform(15, 22)
            paint_house(canvas, rng, x, width, rng.uniform(11, 16), rng.uniform(7, 10), dark=0.1)
            x += width + rng.uniform(2, 6)


def paint_windows(canvas, rng, hx, top, width, height, u, dark):
    columns = max(1, int((width - 4) // 7))
    rows = 1 if height < 15 else 2
    for row in range(rows):
        for column in range(columns):
            if rng.uniform() < dark:
                continue
            wx = hx + 3 + column * (width - 6) / columns + ((width - 6) / columns - 3) / 2
            wy = top + 3 + row * 7
            warmth = rng.uniform(0.75, 1.0)
            colour = scale(WINDOW_LIGHT, warmth)
            pane = polygon([(wx, wy), (wx + 3, wy), (wx + 3, wy + 4), (wx, wy + 4)])
            canvas.paint(scaled(pane, u), colour, scaled_box((wx - 1, wy - 1, wx + 5, wy + 6), u))
            canvas.glow((wx + 1.5) * u, (wy + 2) * u, 7 * u, WINDOW_LIGHT, 0.12 * warmth)


def scaled(shape, u):
    """A shape drawn in units, for a screen whose unit is u pixels."""
    return lambda x, y: shape(x / u, y / u) * u


def scaled_box(box, u):
    return tuple(v * u for v in box)


def ripple(k, rng):
    """The water k rows below the shore: how far its row is moved across (a swell and a
    chop), and how much of the sky it mirrors. Nearer rows mirror less (more of the deep
    water shows through) and their waves are longer and wider."""
    phase = 14 * math.sqrt(k + 9)
    shift = round((0.6 + k / 160) * (0.6 * math.sin(phase) + rng.uniform(-0.7, 0.7)))
    mirrored = (0.45 + 0.33 * math.exp(-k / 260)) * (1 + 0.12 * math.sin(1.7 * phase + 0.4))
    return shift, mirrored, phase


LIT_FROM = 420  # the highest row of the hills and their lights


def paint_lake(canvas, sky):
    """Below the shore each row mirrors the one as far above it, moved across by the waves,
    darkened toward the deep water. Past the picture's top the sky higher up is mirrored:
    `sky`, the sky's rows before the moon and the hills, taken from the top down again (it
    looks much the same up there). A light line marks the shore."""
    w = canvas.width
    rng = Random(19)

    def moved(channel, row, shift):
        s = row * w + shift % w
        return channel[s:row * w + w] + channel[row * w:s]
    for y in range(SHORE, canvas.height):
        k = y - SHORE
        source = SHORE - 1 - k
        channels = (canvas.r, canvas.g, canvas.b)
        if source < 0:
            source, channels = min(SHORE - 1, -1 - source), sky
        shift, mirrored, _ = ripple(k, rng)
        i = y * w
        # Lights and the sky's edge over the hills reach a few rows further down, as each
        # small wave shows them again.
        nearer = [] if channels is sky or source < LIT_FROM else [source + d for d in (2, 4) if source + d < SHORE]
        for channel, target, deep in zip(channels, (canvas.r, canvas.g, canvas.b), DEEP_WATER):
            row = moved(channel, source, shift)
            for d, other in enumerate(nearer):
                row = map(max, row, moved(channel, other, shift + (1, -1)[d]))
            floor = deep * (1 - mirrored)
            target[i:i + w] = array("f", [v * mirrored + floor for v in row])
    for y, amount in ((SHORE, 0.35), (SHORE + 1, 0.15)):
        for x in range(w):
            canvas.over(y * w + x, (70, 62, 118), amount)
    paint_glade(canvas)


def paint_glade(canvas):
    """The moon's path of glints on the water, widening toward the near shore and brightest
    around the moon's reflection."""
    mx, my, _ = MOON
    glints = value_noise(3)
    mirror = 2 * SHORE - my
    for y in range(SHORE + 2, min(canvas.height, 1640)):
        k = y - SHORE
        phase = 14 * math.sqrt(k + 9)
        strength = 0.9 * math.exp(-((y - mirror) / 240.0) ** 2) + 0.35 * math.exp(-k / 50.0)
        half = 4 + 0.04 * k
        for x in range(int(mx - 3 * half), int(mx + 3 * half) + 2):
            across = math.exp(-((x + 0.5 - mx) / half) ** 2)
            sparkle = smoothstep(0.5, 0.85, glints(x / (3 + 0.01 * k), phase * 0.5))
            if sparkle > 0:
                canvas.light(y * canvas.width + x, MOONLIGHT, strength * across * sparkle)


def paint_near_shore(canvas, rng):
    """The bank in front, its grass catching the moonlight along the edge, with tufts of
    grass and clumps of reeds standing up against the water."""
    w = canvas.width
    edge = [near_shore(x + 0.5) for x in range(w)]
    canvas.fill_below(edge, (12, 13, 26), (4, 5, 11), 300, canvas.height)
    for x, top in enumerate(edge):
        for y in range(int(top), min(canvas.height, int(top) + 7)):
            canvas.over(y * w + x, (46, 46, 84), 0.45 * clamp(1 - (y + 0.5 - top) / 7) * clamp(y + 1 - top))

    def blade(bx, tall, lean, half, colour):
        by = near_shore(bx) + 4
        tx, ty = bx + lean * tall, by - tall
        canvas.paint(polygon([(bx - half, by), (tx, ty), (bx + half, by)]), colour,
                     (min(bx, tx) - 3, ty - 1, max(bx, tx) + 3, by + 1))
        return tx, ty
    x = 0.0
    while x < w:
        blade(x, rng.uniform(6, 20), rng.uniform(-0.5, 0.5), 1.2, (10, 11, 22))
        x += rng.uniform(2, 7)
    x = rng.uniform(0, 200)
    while x < w:
        for _ in range(int(rng.uniform(8, 20))):
            bx, tall = x + rng.uniform(-30, 30), rng.uniform(40, 150)
            tx, ty = blade(bx, tall, rng.uniform(-0.25, 0.25), rng.uniform(1.0, 1.8), (5, 6, 13))
            if rng.uniform() < 0.25:  # a bulrush's head
                hx, hy = bx + (tx - bx) * 0.8, ty + tall * 0.2
                canvas.paint(ellipse(hx, hy, 2.4, 8), (7, 6, 13), (hx - 4, hy - 10, hx + 4, hy + 10))
        x += rng.uniform(120, 360)


def background(width, height):
    """The picture, width x height: the default size is the whole night; a smaller one is its
    top-left part, a larger one repeats across and continues the bank down."""
    canvas = Canvas(WIDTH, max(SHORE, min(height, HEIGHT)), (0, 0, 0), wrap=True)
    paint_sky(canvas)
    paint_stars(canvas, Random(2024))
    sky = [channel[:SHORE * WIDTH] for channel in (canvas.r, canvas.g, canvas.b)]
    paint_moon(canvas)
    paint_hills(canvas, Random(31))
    paint_town(canvas, Random(77))
    if canvas.height > SHORE:
        paint_lake(canvas, sky)
        paint_near_shore(canvas, Random(53))
    return bmp_24(canvas, width, height)



# --- The sprites' frames -------------------------------------------------------------------------
# Each object gives its width, its height, its frames (a canvas, None for no picture, or
# "previous" for the picture of the frame before) and the backdrop its edges are mixed with.

UPPER_SKY = (12, 18, 52)
MIDDLE_SKY = (24, 30, 80)
LOW_DARK = (12, 11, 28)


CLOUD_LIGHT = tuple(c / math.sqrt(0.55 ** 2 + 0.65 ** 2 + 0.52 ** 2) for c in (0.55, -0.65, 0.52))


def cloud_colour(puffs, height):
    """The puffs are balls lit by the moon (upper right, in front), blended into one smooth
    surface whose slope gives the light."""
    def surface(x, y):
        total = 0.0
        for px, py, rx, ry in puffs:
            dx, dy = (x - px) / rx, (y - py) / ry
            # A bump that flattens out at its rim, so that neighbours meet without a crease.
            total += math.exp(1.3 * ry * max(0.0, 1 - dx * dx - dy * dy) ** 1.5 / 5.0)
        return 5.0 * math.log(total)

    def colour(x, y):
        gx = (surface(x + 0.5, y) - surface(x - 0.5, y))
        gy = (surface(x, y + 0.5) - surface(x, y - 0.5))
        norm = math.sqrt(gx * gx + gy * gy + 1)
        light = max(0.0, (-gx * CLOUD_LIGHT[0] - gy * CLOUD_LIGHT[1] + CLOUD_LIGHT[2]) / norm)
        shade = 1 - 0.35 * clamp((y - height * 0.45) / (height * 0.55))
        return scale(mix((30, 33, 70), (150, 150, 200), 0.25 + 0.75 * light), shade)
    return colour


def cloud_frames(width, height, puffs, variants):
    frames = []
    for shift in variants:
        c = Canvas(width, height)
        moved = [(px + shift * dx, py, rx, ry) for px, py, rx, ry, dx in puffs]
        body = union(*(ellipse(*puff) for puff in moved))
        c.paint(body, cloud_colour(moved, height), soft=1.8)
        # A silver lining where the edge faces the moon.
        c.shade(lambda x, y, rgb: mix(rgb, (190, 190, 228), 0.55 * clamp(body(x + 2.5, y - 2.5) / 2.5)), shape=body)
        frames.append(c)
    return frames


# Puffs: centre x and y, radii across and down, and which way the puff moves between frames.
def big_cloud():
    puffs = ((38, 38, 30, 14, 1), (70, 28, 30, 20, -1), (108, 24, 32, 20, 1), (142, 34, 28, 16, -1),
             (92, 42, 62, 12, 0), (160, 42, 16, 10, 1))
    return 184, 60, cloud_frames(184, 60, puffs, (0.0, 2.5)), MIDDLE_SKY


def small_cloud():
    puffs = ((26, 26, 20, 10, 1), (50, 18, 22, 14, -1), (78, 24, 20, 11, 1), (56, 30, 42, 8, 0))
    return 108, 42, cloud_frames(108, 42, puffs, (0.0, 2.0)), UPPER_SKY


def balloon_frames():
    width, height = 46, 68
    cx = 23.0
    envelope = union(circle(cx, 21, 19.5), polygon([(4.5, 24), (cx - 6, 43), (cx + 6, 43), (41.5, 24)]))
    stripes = ((222, 64, 70), (248, 214, 150), (240, 132, 58), (248, 214, 150))

    def skin(flame):
        def colour(x, y):
            half = 19.5 if y < 21 else max(6.0, 19.5 - (y - 21) * 0.62)
            u = clamp((x - cx) / half, -0.999, 0.999)
            stripe = stripes[int((math.asin(u) / math.pi + 0.5) * 8) % 4]
            # Moonlight from the upper right, a warm glow from the burner below.
            nx, ny = u, (y - 21) / 24
            light = 0.32 + 0.68 * clamp(0.55 * nx - 0.55 * ny + 0.45)
            warm = flame * clamp((y - 22) / 22) * 0.8
            return tuple(min(255, c * light + w * warm) for c, w in zip(stripe, (255, 150, 60)))
        return colour

    frames = []
    for flame in (0.0, 1.0, 0.55):
        c = Canvas(width, height)
        c.paint(envelope, skin(flame), (0, 0, width, 46))
        for ax, bx in ((cx - 6, cx - 5), (cx + 6, cx + 5), (cx - 2, cx - 2), (cx + 2, cx + 2)):
            c.paint(segment(ax, 43, bx, 56, 0.35), (120, 96, 80), (0, 42, width, 58))
        basket = polygon([(cx - 6, 55), (cx + 6, 55), (cx + 5, 64), (cx - 5, 64)])
        c.paint(basket, lambda x, y: (118, 76, 42) if int(y) % 3 else (84, 52, 30), (cx - 7, 54, cx + 7, 65))
        if flame:
            size = 2.0 + 3.5 * flame
            c.paint(ellipse(cx, 51 - size / 2, 1.4 + flame, size), (255, 226, 120), (cx - 5, 40, cx + 5, 54))
            c.paint(ellipse(cx, 51 - size / 3, 0.8, size * 0.5), (255, 255, 230), (cx - 3, 42, cx + 3, 54))
            c.glow(cx, 50, 9 * flame + 3, (255, 170, 70), 0.35 * flame, cover=False)
        frames.append(c)
    return width, height, frames, MIDDLE_SKY


def firefly_frames():
    size = 21
    c0 = size / 2
    frames = []
    for level in (0.35, 0.7, 1.0, 0.9, 0.6, 0.3, None, None):
        if level is None:
            frames.append(None)  # dark: the firefly blinks
            continue
        c = Canvas(size, size)
        c.glow(c0, c0, 10.5, (140, 230, 60), 1.1 * level, falloff=2.0)
        c.glow(c0, c0, 4.5, (230, 255, 150), 0.8 * level, falloff=1.5)
        c.paint(circle(c0, c0, 1.4 + 0.9 * level), mix((200, 240, 120), (250, 255, 210), level))
        frames.append(c)
    return size, size, frames, LOW_DARK


def bat_shape(pose):
    """A bat seen from below, 36 x 22 drawn 1.25 times as large; pose 0 wings up ... 1 wings
    down."""
    inner = bat_outline(pose)
    return lambda x, y: inner(x / 1.25, y / 1.25) * 1.25


def bat_outline(pose):
    cx = 18.0
    tip = 2 + 15 * pose        # wing tip height
    elbow = 6 + 6 * pose
    body = union(ellipse(cx, 11, 2.6, 4.5), circle(cx, 6.5, 2.4),
                 polygon([(cx - 2.4, 6), (cx - 2.2, 2.2), (cx - 0.8, 5)]),
                 polygon([(cx + 2.4, 6), (cx + 2.2, 2.2), (cx + 0.8, 5)]))
    wings = []
    for side in (-1, 1):
        def x(dx, side=side):
            return cx + side * dx
        wings.append(polygon([(x(1.5), 8.5), (x(8), elbow), (x(17), tip), (x(14), tip + 3.5),
                              (x(11), elbow + 5.5), (x(7.5), elbow + 4), (x(4.5), 13.5), (x(1.5), 13)]))
    return union(body, *wings)


def bat_frames():
    width, height = 45, 28
    frames = []
    for index in range(48):
        if index % 2:
            frames.append("previous")  # each pose shows for two ticks
            continue
        pose = (0.0, 0.45, 1.0, 0.45)[(index // 2) % 4]
        shape = bat_shape(pose)
        c = Canvas(width, height)
        c.paint(shape, (20, 15, 32))
        # A rim of moonlight on the edges that face the moon.
        c.shade(lambda x, y, rgb: mix(rgb, (104, 98, 146), clamp(shape(x + 1.4, y - 1.1) + 0.6)), shape=shape)
        frames.append(c)
    return width, height, frames, UPPER_SKY


def bat_path():
    """The bat's top-left corners: a tilted loop around the moon, one place a tick."""
    u = UNIT
    cx, cy = MOON[0] - 40 * u, MOON[1] + 18 * u
    places = []
    for i in range(48):
        a = 2 * math.pi * i / 48
        x = cx + u * (118 * math.cos(a) + 16 * math.sin(2 * a))
        y = cy + u * (46 * math.sin(a) - 26 * math.cos(a) + 6 * math.sin(3 * a))
        places.append([int(round(x - 22)), int(round(y - 14))])
    return places


def shooting_star_frames():
    """The streak's head runs across the frame while the sprite itself moves the same way
    along shooting_star_path, so the star crosses twice the frame's width of sky."""
    width, height = 120, 64
    head0, head1 = (114.0, 6.0), (12.0, 54.0)
    frames = []
    for k in range(10):
        t = k / 9
        hx, hy = mix(head0, head1, t)
        brightness = smoothstep(0.0, 0.25, t) * (1 - smoothstep(0.7, 1.0, t)) * 0.85 + 0.15
        tail = 18 + 52 * smoothstep(0.0, 0.5, t)
        ux, uy = (head0[0] - head1[0]), (head0[1] - head1[1])
        norm = math.hypot(ux, uy)
        ux, uy = ux / norm, uy / norm
        tx, ty = hx + ux * tail, hy + uy * tail
        c = Canvas(width, height)

        def along(x, y):  # 1 at the head, 0 at the end of the tail
            return 1 - clamp(((x - hx) * ux + (y - hy) * uy) / tail)
        trail = segment(hx, hy, tx, ty, 1.1)
        c.paint(trail, lambda x, y: mix((120, 150, 255), (255, 255, 255), along(x, y)),
                (min(hx, tx) - 2, min(hy, ty) - 2, max(hx, tx) + 2, max(hy, ty) + 2),
                opacity=lambda x, y: brightness * along(x, y) ** 0.7)
        c.glow(hx, hy, 5, (220, 230, 255), brightness, falloff=1.5)
        c.paint(circle(hx, hy, 1.2), (255, 255, 255), opacity=brightness)
        frames.append(c)
    return width, height, frames, UPPER_SKY


def shooting_star_path():
    """The shooting star's top-left corners, one a frame: down to the left, high in the sky
    between the town and the moon."""
    return [[int(round(600 - 102 / 9 * k)), int(round(40 + 48 / 9 * k))] for k in range(10)]


def twinkle_frames():
    size = 25
    c0 = size / 2
    frames = []
    for reach in (0.25, 0.5, 0.8, 1.0, 0.7, 0.35):
        c = Canvas(size, size)
        arm = 11.5 * reach
        spikes = union(polygon([(c0 - arm, c0), (c0, c0 - 1.1), (c0 + arm, c0), (c0, c0 + 1.1)]),
                       polygon([(c0, c0 - arm), (c0 + 1.1, c0), (c0, c0 + arm), (c0 - 1.1, c0)]))
        c.glow(c0, c0, 3 + 5 * reach, (170, 190, 255), 0.8 * reach, falloff=2.0)
        c.paint(spikes, lambda x, y: mix((255, 255, 240), (150, 180, 255), clamp(math.hypot(x - c0, y - c0) / (arm + 0.1))))
        c.paint(circle(c0, c0, 0.8 + 1.2 * reach), (255, 255, 245))
        frames.append(c)
    return size, size, frames, UPPER_SKY


def spark_frames(colour):
    size = 25
    c0 = size / 2
    frames = [None]  # at the centre before the burst: nothing shows
    for level in (1.0, 0.9, 0.65, 0.4):
        c = Canvas(size, size)
        c.glow(c0, c0, 12.5 * (0.55 + 0.45 * level), colour, 1.1 * level, falloff=1.7)
        arm = 3 + 6 * level
        glint = union(polygon([(c0 - arm, c0), (c0, c0 - 0.9), (c0 + arm, c0), (c0, c0 + 0.9)]),
                      polygon([(c0, c0 - arm), (c0 + 0.9, c0), (c0, c0 + arm), (c0 - 0.9, c0)]))
        c.paint(glint, mix(colour, (255, 255, 255), 0.5), opacity=0.4 + 0.6 * level)
        c.paint(circle(c0, c0, 1.2 + 1.6 * level), mix(colour, (255, 255, 255), 0.65 * level + 0.2))
        frames.append(c)
    return size, size, frames, MIDDLE_SKY


# --- Sound and music ---------------------------------------------------------------------------


def chime_wave():
    """A soft bell: a few inharmonic partials that die away, 16-bit mono at 22050 Hz."""
    rate, seconds = 22050, 0.45
    partials = ((1318.5, 1.0, 7.0), (3639.0, 0.32, 13.0), (7120.0, 0.12, 22.0), (2637.0, 0.22, 10.0))
    samples = bytearray()
    for n in range(int(rate * seconds)):
        t = n / rate
        attack = min(1.0, t / 0.004)
        value = sum(a * math.exp(-d * t) * math.sin(2 * math.pi * f * t) for f, a, d in partials)
        samples += struct.pack("<h", int(clamp(0.33 * attack * value, -1, 1) * 32767))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


# A lullaby in C major, 3/4, one bar a line: (the bar's chord, its melody as (MIDI note or
# None for a rest, beats)).
TUNE = (
    ("C", ((67, 1), (64, 1), (67, 1))), ("Am", ((69, 2), (72, 1))),
    ("F", ((69, 1), (67, 1), (65, 1))), ("G", ((62, 3),)),
    ("C", ((64, 1), (67, 1), (72, 1))), ("Em", ((71, 2), (67, 1))),
    ("F", ((69, 1), (72, 1), (69, 1))), ("G", ((67, 3),)),
    ("Am", ((72, 1), (71, 1), (69, 1))), ("F", ((69, 1), (67, 1), (65, 1))),
    ("C", ((64, 1), (67, 1), (72, 1))), ("G", ((74, 3),)),
    ("F", ((72, 1), (69, 1), (65, 1))), ("G", ((67, 1), (71, 1), (74, 1))),
    ("C", ((72, 3),)), ("C", ((None, 3),)),
)
CHORDS = {"C": (48, 55, 60, 64), "Am": (45, 57, 60, 64), "F": (41, 57, 60, 65), "G": (43, 55, 59, 62),
          "Em": (40, 55, 59, 64)}


def midi_file():
    """A format 0 MIDI file: music box melody (channel 0), warm pad (1), bass (2)."""
    quarter = 480
    events = []  # (time, order, bytes): note offs sort before note ons at the same time

    def note(time, length, channel, key, velocity):
        events.append((time, 1, bytes((0x90 | channel, key, velocity))))
        events.append((time + length, 0, bytes((0x80 | channel, key, 0))))

    time = 0
    for chord, melody in TUNE:
        bar = 3 * quarter
        root, *voices = CHORDS[chord]
        note(time, bar - 20, 2, root, 58)
        for key in voices:
            note(time, bar - 10, 1, key, 34)
        at = time
        for key, beats in melody:
            if key is not None:
                note(at, beats * quarter - 30, 0, key, 84 if at == time else 70)
            at += beats * quarter
        time += bar
    events.sort(key=lambda e: (e[0], e[1]))

    track = bytearray()
    setup = (b"\xff\x03" + bytes((10,)) + b"Kelna demo",     # track name
             b"\xff\x51\x03" + (60_000_000 // 72).to_bytes(3, "big"),  # 72 beats a minute
             b"\xff\x58\x04\x03\x02\x18\x08",                   # 3/4
             bytes((0xC0, 10)), bytes((0xC1, 89)), bytes((0xC2, 32)),  # music box, warm pad, bass
             bytes((0xB0, 91, 70)), bytes((0xB1, 91, 90)), bytes((0xB1, 7, 80)), bytes((0xB2, 91, 40)))
    for event in setup:
        track += b"\x00" + event
    last = 0
    for at, _, data in events:
        track += variable_length(at - last) + data
        last = at
    track += b"\x00\xff\x2f\x00"
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, quarter) + b"MTrk" + struct.pack(">I", len(track)) + track


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


# --- The objects and the scene -------------------------------------------------------------------

# Object name: (drawing, whether its light glows, the object's own defaults for sprites made
# from it in the settings).
OBJECTS = {
    "cloud": (big_cloud, False, {"depth": 9, "behaviour": 0, "speedX": 1}),
    "small cloud": (small_cloud, False, {"depth": 9, "behaviour": 0, "speedX": 1}),
    "balloon": (balloon_frames, False, {"depth": 6, "behaviour": 1, "speedX": 1, "speedY": -1}),
    "firefly": (firefly_frames, True, {"depth": 3, "behaviour": 3, "speedX": 3, "speedY": 2}),
    "bat": (bat_frames, False, {"depth": 7, "behaviour": 4, "randomStart": 0}),
    "shooting star": (shooting_star_frames, True, {"depth": 8, "behaviour": 4, "autoRepeat": 0, "randomStart": 0}),
    "twinkle": (twinkle_frames, True, {"depth": 8, "behaviour": 2}),
    "gold spark": (lambda: spark_frames((255, 206, 110)), True, {"depth": 5, "behaviour": 5}),
    "rose spark": (lambda: spark_frames((255, 120, 170)), True, {"depth": 5, "behaviour": 5}),
    "aqua spark": (lambda: spark_frames((120, 226, 255)), True, {"depth": 5, "behaviour": 5}),
}
# The objects that follow listed places, and their places.
PATHS = {"bat": bat_path, "shooting star": shooting_star_path}


def sprite(name, obj, size, depth, behaviour, x, y, speed=(0, 0), **fields):
    """A sprite record as the animation manifest takes it; the defaults suit most sprites:
    placed where told, repeating, every frame shown once per tick, sound on."""
    record = {"name": name, "objectName": obj, "depth": depth, "behaviour": behaviour, "autoRepeat": 1,
              "randomStart": 0, "imageWidth": size[0], "imageHeight": size[1], "startFrame": 0,
              "frameCount": 0, "skipCount": 0, "x": x, "y": y, "speedX": speed[0], "speedY": speed[1],
              "soundOn": 1}
    record.update(fields)
    return record


def scene_sprites(sizes, frame_counts):
    """The scene, deepest first. A sprite's frameCount is its object's frames, so that each
    cycle shows all of them (a one-shot sprite adds its closing blank frame itself). Every
    place here lies inside VIEW, where the background has the sky, hills and town for it."""
    def make(name, obj, depth, behaviour, x, y, speed=(0, 0), **fields):
        fields.setdefault("frameCount", frame_counts[obj])
        return sprite(name, obj, sizes[obj], depth, behaviour, int(x), int(y), speed, **fields)

    # Sprites that wait before they start stand somewhere in sight meanwhile: one out of
    # sight would never be stepped, and so never start. This place is in sight even on a
    # 640 x 480 window.
    waiting = (320, 90)
    sprites = [
        make("high cloud", "small cloud", 9, 0, 80, 66, (1, 0), skipCount=40),
        make("far cloud", "cloud", 9, 0, 660, 240, (1, 0), skipCount=30),
        make("first twinkle", "twinkle", 8, 2, *waiting, skipCount=4),
        make("second twinkle", "twinkle", 8, 2, *waiting, skipCount=4, startFrame=18, soundOn=0),
        make("shooting star", "shooting star", 8, 4, *shooting_star_path()[0], autoRepeat=0, startFrame=24,
             skipCount=1),
        make("bat", "bat", 7, 4, *bat_path()[0]),
        make("balloon", "balloon", 6, 1, 192, 225, (1, -1), skipCount=2),
    ]
    for i, colour in enumerate(("gold", "rose", "aqua") * 3):
        sprites.append(make("spark %d" % (i + 1), colour + " spark", 5, 5, 0, 0, startFrame=30))
    fireflies = ((602, 612), (840, 634), (1040, 600), (420, 644))  # over the near hills
    for i, (x, y) in enumerate(fireflies):
        sprites.append(make("firefly %d" % (i + 1), "firefly", 3, 3, x, y, (3, 2), skipCount=2 + i % 2))
    sprites.append(make("near cloud", "cloud", 2, 0, 240, 375, (2, 0), skipCount=24))
    return sprites


# --- Writing ---------------------------------------------------------------------------------------


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def object_entry(name, sources):
    draw, glow, defaults = OBJECTS[name]
    width, height, frames, backdrop = draw()
    stem = re.sub(r"[^a-z0-9]+", "-", name)
    entry = {"name": name, "imageWidth": width, "imageHeight": height, "frames": []}
    entry.update(defaults)
    for index, frame in enumerate(frames):
        if frame is None or frame == "previous":
            slot = frame
            entry["frames"].append({"image": slot, "mask": slot})
            continue
        png_name = "%s-%02d.png" % (stem, index)
        write(os.path.join(sources, png_name), sprite_frame(frame, backdrop, glow))
        entry["frames"].append({"png": png_name})
    if name in PATHS:
        entry["locations"] = PATHS[name]()
    if name == "twinkle":
        entry["sound"] = {"file": "blip.wav", "playFrame": 3}
    return entry


def is_windows_path(folder):
    return re.match(r"^[A-Za-z]:[\\/]", folder) or folder.startswith("\\\\")


def install_path(folder, name):
    """The absolute path the saver will open, in the folder's own style (Windows or POSIX)."""
    separator = "\\" if is_windows_path(folder) else "/"
    return folder.rstrip("\\/") + separator + name


def pack(tool, manifest, output):
    result = subprocess.run([tool, "pack", manifest, output], capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit("make_demo.py: kelna-tool pack failed: " + result.stderr.strip())


def build(tool, out, install_dir, sources, size):
    write(os.path.join(sources, "blip.wav"), chime_wave())
    objects = [object_entry(name, sources) for name in OBJECTS]
    write(os.path.join(sources, "objects.json"), json.dumps({"objects": objects}, indent=1).encode())
    pack(tool, os.path.join(sources, "objects.json"), os.path.join(out, "demo.foe"))

    sizes = {o["name"]: (o["imageWidth"], o["imageHeight"]) for o in objects}
    counts = {o["name"]: len(o["frames"]) for o in objects}
    animation = {"objectFile": install_path(install_dir, "demo.foe"), "sprites": scene_sprites(sizes, counts)}
    write(os.path.join(sources, "animation.json"), json.dumps(animation, indent=1, ensure_ascii=False).encode())
    pack(tool, os.path.join(sources, "animation.json"), os.path.join(out, "demo.anm"))

    write(os.path.join(out, "background.bmp"), background(*size))
    write(os.path.join(out, "music.mid"), midi_file())
    shutil.copyfile(os.path.join(sources, "blip.wav"), os.path.join(out, "blip.wav"))


def sheet_example(folder):
    """The sheet route of README's "Make your own animation": the twinkling star's six frames
    on one sheet, three across and two down, with the manifests that pack it, and the same
    sheet described as a sheet editor exports it (Aseprite's hash form)."""
    draw, glow, defaults = OBJECTS["twinkle"]
    width, height, frames, backdrop = draw()
    across, down = 3, 2
    pixels = [frame_pixels(frame, backdrop, glow) for frame in frames]
    write(os.path.join(folder, "twinkle-sheet.png"), png_rgba(
        across * width, down * height, lambda x, y: pixels[y // height * across + x // width](x % width, y % height)))
    frame_rects = {}
    for i in range(len(frames)):
        x, y = i % across * width, i // across * height
        frame_rects["twinkle %d.aseprite" % i] = {
            "frame": {"x": x, "y": y, "w": width, "h": height}, "rotated": False, "trimmed": False,
            "spriteSourceSize": {"x": 0, "y": 0, "w": width, "h": height}, "sourceSize": {"w": width, "h": height},
            "duration": 100}
    export = {"frames": frame_rects, "meta": {"image": "twinkle-sheet.png", "format": "RGBA8888",
                                              "size": {"w": across * width, "h": down * height}, "scale": "1"}}
    objects = {"objects": [dict({"name": "twinkle", "imageWidth": width, "imageHeight": height,
                                 "frames": {"sheet": "twinkle-sheet.png", "cell": [width, height]}}, **defaults)]}
    sprites = [sprite("star %d" % (i + 1), "twinkle", (width, height), 1, 2, x, y, frameCount=len(frames),
                      skipCount=2, startFrame=start)
               for i, (x, y, start) in enumerate(((40, 30, 0), (150, 70, 7), (90, 120, 13)))]
    for name, content in (("twinkle-sheet.json", export), ("twinkle.json", objects),
                          ("scene.json", {"objectFile": "twinkle.foe", "sprites": sprites})):
        write(os.path.join(folder, name), (json.dumps(content, indent=1) + "\n").encode())


def screen_size(text):
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or not (160 <= int(match[1]) <= 8192 and 120 <= int(match[2]) <= 8192):
        raise argparse.ArgumentTypeError("not WIDTHxHEIGHT from 160x120 to 8192x8192: " + text)
    return int(match[1]), int(match[2])


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Kelna's demo animation.")
    parser.add_argument("--tool", help="the kelna-tool program")
    parser.add_argument("--out", help="the folder to write into")
    parser.add_argument("--sheet-example", metavar="DIR",
                        help="write only README's sprite sheet example into DIR (tools/demo/sheet)")
    parser.add_argument("--install-dir", help="the folder the saver will read the files from (default: OUT)")
    parser.add_argument("--sources", help="keep the frames and manifests in this folder")
    parser.add_argument("--size", default="%dx%d" % (WIDTH, HEIGHT), type=screen_size,
                        help="the background's size (default %dx%d, for every screen, tiled)" % (WIDTH, HEIGHT))
    args = parser.parse_args(argv)
    if args.sheet_example:
        os.makedirs(args.sheet_example, exist_ok=True)
        sheet_example(args.sheet_example)
        return 0
    if not args.tool or not args.out:
        parser.error("--tool and --out are needed (or --sheet-example DIR)")
    install_dir = args.install_dir or os.path.abspath(args.out)
    if not is_windows_path(install_dir) and not install_dir.startswith("/"):
        parser.error("--install-dir must be an absolute path: " + install_dir)
    os.makedirs(args.out, exist_ok=True)
    if args.sources:
        os.makedirs(args.sources, exist_ok=True)
        build(args.tool, args.out, install_dir, args.sources, args.size)
    else:
        with tempfile.TemporaryDirectory() as sources:
            build(args.tool, args.out, install_dir, sources, args.size)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
