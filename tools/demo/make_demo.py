#!/usr/bin/env python3
"""Draws Kelna's demo animation: a moonlit night over a small hill town.

Clouds drift past the moon, a hot-air balloon bounces slowly around the sky, fireflies
wander and blink above the hills, a bat circles the moon, stars twinkle here and there with
a soft chime, a shooting star crosses the sky once, and sparks burst from the middle of the
sky. Every picture is drawn here from shapes (no outside art) and packed by kelna-tool.

Writes into OUT:
  demo.foe        the sprite objects (kelna-tool pack, from the frames drawn here)
  demo.anm        the animation (kelna-tool pack, from an animation manifest)
  background.bmp  the night sky at the screen's size, for the background setting
  music.mid       a short lullaby in 3/4, for the music setting (a format 0 MIDI file)
  blip.wav        the twinkling stars' chime (also held inside demo.foe)

The animation file names its object file by path, and the saver opens that path as stored:
a relative one would be taken from the saver's working folder, not from the animation's.
So the path stored is absolute, INSTALL_DIR/demo.foe, where INSTALL_DIR is the folder the
files are used from (by default OUT itself). For a Windows machine name a Windows folder,
for example --install-dir 'C:\\Kelna\\demo'; the path must be writable in code page 932.

The scene is laid out for one screen size (--size, 640x480 by default): the background
fills that screen, and the places that the animation file holds as they are (where sprites
start, the bat's path round the moon) fit it. On a larger screen a centred background leaves
a black border, so build the demo for the screen it will play on.

Standard library only; the same arguments always give the same files.

usage: make_demo.py --tool KELNA_TOOL --out OUT [--size WxH] [--install-dir DIR] [--sources DIR]
  --sources DIR  keep the frames and manifests there (default: a temporary folder)
"""

import argparse
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


def value_noise(seed):
    """Smooth 2-D noise in 0..1 from a hashed lattice."""
    def lattice(ix, iy):
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
    """Colour with coverage (premultiplied), painted with antialiased shapes."""

    def __init__(self, width, height, colour=None):
        self.width, self.height = width, height
        n = width * height
        base = colour or (0.0, 0.0, 0.0)
        self.rgb = [list(base) for _ in range(n)]
        self.alpha = [1.0 if colour else 0.0] * n

    def _box(self, box):
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        return (max(0, int(x0)), max(0, int(y0)), min(self.width, int(math.ceil(x1))),
                min(self.height, int(math.ceil(y1))))

    def over(self, i, colour, amount):
        keep = 1.0 - amount
        pixel = self.rgb[i]
        pixel[0] = colour[0] * amount + pixel[0] * keep
        pixel[1] = colour[1] * amount + pixel[1] * keep
        pixel[2] = colour[2] * amount + pixel[2] * keep
        self.alpha[i] = amount + self.alpha[i] * keep

    def light(self, i, colour, amount, cover=True):
        """Adds light; on a transparent canvas the light also makes the pixel cover."""
        pixel = self.rgb[i]
        pixel[0] += colour[0] * amount
        pixel[1] += colour[1] * amount
        pixel[2] += colour[2] * amount
        if cover:
            self.alpha[i] = min(1.0, self.alpha[i] + amount)

    def paint(self, shape, colour, box=None, opacity=1.0, soft=1.0):
        """Covers the shape with a colour; colour and opacity may be functions of x, y."""
        x0, y0, x1, y1 = self._box(box)
        for y in range(y0, y1):
            py = y + 0.5
            row = y * self.width
            for x in range(x0, x1):
                px = x + 0.5
                cover = 0.5 - shape(px, py) / soft
                if cover <= 0:
                    continue
                cover = min(cover, 1.0) * (opacity(px, py) if callable(opacity) else opacity)
                self.over(row + x, colour(px, py) if callable(colour) else colour, cover)

    def glow(self, cx, cy, radius, colour, strength, falloff=2.0, cover=True):
        """A soft light whose strength falls off with the distance from its centre."""
        x0, y0, x1, y1 = self._box((cx - radius, cy - radius, cx + radius + 1, cy + radius + 1))
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / radius
                if d < 1:
                    self.light(y * self.width + x, colour, strength * (1 - d) ** falloff, cover)

    def shade(self, function, shape=None, box=None):
        """Recolours covered pixels (inside the shape): function(x, y, colour) gives the new
        colour for the old one, both as seen, not multiplied by the coverage."""
        x0, y0, x1, y1 = self._box(box)
        for y in range(y0, y1):
            for x in range(x0, x1):
                i = y * self.width + x
                a = self.alpha[i]
                if a > 0 and (shape is None or shape(x + 0.5, y + 0.5) < 0.5):
                    seen = [c / a for c in self.rgb[i]]
                    self.rgb[i] = [c * a for c in function(x + 0.5, y + 0.5, seen)]

    def colour(self, i):
        return tuple(int(clamp(c, 0, 255) + 0.5) for c in self.rgb[i])


def bmp_24(width, height, pixel):
    """A 24-bit BMP file, rows bottom-up; pixel(x, y) gives (r, g, b) with y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + header + rows


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


BAYER = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5)


def sprite_frame(canvas, backdrop, glow=False):
    """A PNG file of a sprite frame, each pixel opaque or fully transparent; kelna-tool pack
    makes the frame's image and mask from its alpha. A pixel at least half covered covers
    the background, mixed with the backdrop colour
    it will mostly be seen on. The faint part of a glow is dithered instead: a share of its
    pixels that grows with its coverage shows the glow's own colour, a little dimmed, so that
    it fades into whatever lies behind it without a rim of the wrong colour."""
    w = canvas.width
    covered, colours = [], []
    for i, a in enumerate(canvas.alpha):
        x, y = i % w, i // w
        rgb = canvas.rgb[i]
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

    return png_rgba(canvas.width, canvas.height, pixel)


# --- The background ----------------------------------------------------------------------------

SKY = ((0.00, (3, 5, 18)), (0.35, (11, 17, 50)), (0.60, (26, 31, 84)), (0.72, (52, 44, 108)),
       (0.80, (96, 64, 120)), (0.86, (124, 78, 116)))
WINDOW_LIGHT = (255, 196, 104)


class Screen:
    """Where things stand on a screen of width x height. Shapes keep their proportions and
    grow with the height (the unit is a 480th of it); places spread with the width. The
    pictures were drawn for 640 x 480, where a unit is a pixel."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.unit = height / 480.0
        self.moon = (width - 120 * self.unit, 92 * self.unit, 27 * self.unit)

    def far_hills(self, x):
        t = x / self.unit
        return self.height - self.unit * (128 - 13 * math.sin(t / 97 + 1.0) - 8 * math.sin(t / 41 + 2.3)
                                          - 4 * math.sin(t / 23))

    def near_hills(self, x):
        t = x / self.unit
        return self.height - self.unit * (76 - 20 * math.sin(t / 130 + 2.2) - 7 * math.sin(t / 53 + 0.5)
                                          - 2 * math.sin(t / 17))


def paint_sky(canvas, screen):
    band = value_noise(7)
    lanes = value_noise(11)
    u, width, height = screen.unit, screen.width, screen.height
    # The Milky Way runs from the lower left to the upper right.
    ax, ay, bx, by = -width / 16, 420 * u, width * 1.094, -60 * u
    length = math.hypot(bx - ax, by - ay)
    nx, ny = -(by - ay) / length, (bx - ax) / length
    for y in range(height):
        base = gradient(SKY, y / height)
        for x in range(width):
            d = ((x - ax) * nx + (y - ay) * ny) / u
            haze = math.exp(-(d / 62.0) ** 2)
            if haze > 0.01:
                tx, ty = x / u, y / u
                n = 0.55 * band(tx / 46.0, ty / 46.0) + 0.3 * band(tx / 17.0 + 9, ty / 17.0) + 0.15 * band(tx / 7.0, ty / 7.0 + 3)
                dark = 1 - 0.55 * math.exp(-((d - 10) / 14.0) ** 2) * lanes(tx / 30.0, ty / 30.0)
                glow = 46 * haze * n * n * dark
            else:
                glow = 0.0
            canvas.rgb[y * width + x] = [base[0] + glow * 0.85, base[1] + glow * 0.88, base[2] + glow]


def paint_stars(canvas, screen, rng):
    tints = ((255, 255, 255), (205, 218, 255), (255, 236, 206), (220, 230, 255))
    u, width = screen.unit, screen.width
    crowd = width * screen.height / (640 * 480)
    stars = []
    for _ in range(int(260 * crowd)):
        stars.append((rng.uniform(0, width), rng.uniform(0, 370 * u), rng.uniform() ** 3))
    # Many faint ones crowd the Milky Way.
    for _ in range(int(240 * crowd)):
        t = rng.uniform()
        spread = (rng.uniform() + rng.uniform() + rng.uniform() - 1.5) * 70 * u
        stars.append((-width / 16 + width * 1.156 * t + spread * 0.54, (420 - 480 * t) * u + spread * 0.84,
                      0.25 * rng.uniform() ** 2))
    for x, y, brightness in stars:
        if y > screen.far_hills(x) - 2:
            continue
        tint = tints[int(rng.uniform(0, len(tints)))]
        strength = 0.25 + 0.9 * brightness
        canvas.glow(x, y, 1.4 + 1.6 * brightness, tint, strength, falloff=1.6)
        if brightness > 0.55:  # a faint cross on the brightest few
            for dx, dy in ((1, 0), (0, 1)):
                canvas.paint(segment(x - 5 * dx, y - 5 * dy, x + 5 * dx, y + 5 * dy, 0.3), tint,
                             (x - 6, y - 6, x + 7, y + 7), opacity=0.35 * brightness)


def paint_moon(canvas, screen):
    cx, cy, r = screen.moon
    canvas.glow(cx, cy, r * 6.5, (120, 130, 190), 0.55, falloff=3.0)
    canvas.glow(cx, cy, r * 2.2, (200, 205, 240), 0.35, falloff=2.0)
    maria = value_noise(5)
    u = screen.unit

    def surface(x, y):
        d = min(1.0, math.hypot(x - cx, y - cy) / r)
        light = 0.80 + 0.20 * math.sqrt(1 - d * d)
        tx, ty = (x - cx) / u, (y - cy) / u
        patch = 0.65 * maria(tx / 11.0 + 3, ty / 11.0 + 5) + 0.35 * maria(tx / 4.0, ty / 4.0)
        light -= 0.13 * smoothstep(0.42, 0.78, patch)
        return scale((255, 248, 226), light)
    canvas.paint(circle(cx, cy, r), surface, (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2))


def paint_hills(canvas, screen, rng):
    def hill(height, top, bottom, depth):
        def colour(x, y):
            return mix(top, bottom, clamp((y - height(x)) / depth))
        return colour

    def below(height):
        return lambda x, y: height(x) - y

    u, width, height = screen.unit, screen.width, screen.height
    canvas.paint(below(screen.far_hills), hill(screen.far_hills, (38, 32, 74), (18, 17, 42), 60 * u),
                 (0, height - 160 * u, width, height))
    # Pines along the near crest, then the near hills over their feet.
    x = 4.0
    while x < width:
        base = screen.near_hills(x)
        tall = rng.uniform(10, 22) * u
        if not 70 * u < x < 262 * u:  # the town stands there
            canvas.paint(polygon([(x, base - tall), (x + tall * 0.32, base + 2 * u), (x - tall * 0.32, base + 2 * u)]),
                         (14, 12, 30), (x - 9 * u, base - tall - 1, x + 9 * u, base + 3 * u))
        x += rng.uniform(9, 30) * u
    canvas.paint(below(screen.near_hills), hill(screen.near_hills, (15, 13, 32), (5, 5, 12), 70 * u),
                 (0, height - 110 * u, width, height))


def paint_town(canvas, screen, rng):
    """Houses with lit windows along the near crest, and a church with a spire."""
    u = screen.unit
    houses = []
    x = 76.0
    while x < 250:
        width = rng.uniform(15, 26)
        houses.append((x, width, rng.uniform(11, 20), rng.uniform(7, 11)))
        x += width + rng.uniform(1, 5)
    wall = (17, 14, 30)
    church_x = 150.0
    for hx, width, height, roof in houses:
        if abs(hx + width / 2 - church_x) < 20:
            continue
        base = screen.near_hills((hx + width / 2) * u) / u + 6
        top = base - height
        body = union(polygon([(hx, base), (hx, top), (hx + width, top), (hx + width, base)]),
                     polygon([(hx - 1.5, top + 0.5), (hx + width / 2, top - roof), (hx + width + 1.5, top + 0.5)]))
        canvas.paint(scaled(body, u), wall, scaled_box((hx - 3, top - roof - 2, hx + width + 3, base + 1), u))
        paint_windows(canvas, rng, hx, top, width, height, u)
    # The church: nave, tower and spire, a round window.
    base = screen.near_hills(church_x * u) / u + 6
    nave = polygon([(church_x - 14, base), (church_x - 14, base - 22), (church_x + 14, base - 22), (church_x + 14, base)])
    tower = polygon([(church_x - 5, base), (church_x - 5, base - 40), (church_x + 5, base - 40), (church_x + 5, base)])
    spire = polygon([(church_x - 6, base - 39), (church_x, base - 62), (church_x + 6, base - 39)])
    canvas.paint(scaled(union(nave, tower, spire), u), wall, scaled_box((church_x - 16, base - 64, church_x + 16, base + 1), u))
    canvas.paint(scaled(circle(church_x, base - 30, 2.4), u), WINDOW_LIGHT)
    canvas.glow(church_x * u, (base - 30) * u, 9 * u, WINDOW_LIGHT, 0.25)
    canvas.paint(scaled(segment(church_x, base - 62, church_x, base - 68, 0.5), u), (60, 55, 80))


def paint_windows(canvas, rng, hx, top, width, height, u):
    columns = max(1, int((width - 4) // 7))
    rows = 1 if height < 15 else 2
    for row in range(rows):
        for column in range(columns):
            if rng.uniform() < 0.35:
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


def background(screen):
    canvas = Canvas(screen.width, screen.height, (0, 0, 0))
    paint_sky(canvas, screen)
    paint_stars(canvas, screen, Random(2024))
    paint_moon(canvas, screen)
    # Sequences of their own, so that the town is the same on every screen.
    paint_hills(canvas, screen, Random(31))
    paint_town(canvas, screen, Random(77))
    return bmp_24(screen.width, screen.height, lambda x, y: canvas.colour(y * screen.width + x))


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


def bat_path(screen):
    """The bat's top-left corners: a tilted loop around the moon, one place a tick."""
    u = screen.unit
    cx, cy = screen.moon[0] - 40 * u, screen.moon[1] + 18 * u
    places = []
    for i in range(48):
        a = 2 * math.pi * i / 48
        x = cx + u * (118 * math.cos(a) + 16 * math.sin(2 * a))
        y = cy + u * (46 * math.sin(a) - 26 * math.cos(a) + 6 * math.sin(3 * a))
        places.append([int(round(x - 22)), int(round(y - 14))])
    return places


def shooting_star_frames(screen):
    """The streak crosses the top of a frame tall enough that, wherever the one-shot rule puts
    it (20 + a draw modulo the screen's height - 40 - the frame's), it stays above the hills."""
    width = 120
    head0, head1 = (114.0, 6.0), (12.0, 54.0)
    sky_bottom = min(screen.far_hills(x) for x in range(0, screen.width, 4)) - 16 * screen.unit
    height = max(64, int(math.ceil(20 + screen.height - 41 + 64 - sky_bottom)))
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

# Object name: (drawing for a screen, whether its light glows, the object's own defaults for
# sprites made from it in the settings).
OBJECTS = {
    "cloud": (lambda screen: big_cloud(), False, {"depth": 9, "behaviour": 0, "speedX": 1}),
    "small cloud": (lambda screen: small_cloud(), False, {"depth": 9, "behaviour": 0, "speedX": 1}),
    "balloon": (lambda screen: balloon_frames(), False, {"depth": 6, "behaviour": 1, "speedX": 1, "speedY": -1}),
    "firefly": (lambda screen: firefly_frames(), True, {"depth": 3, "behaviour": 3, "speedX": 3, "speedY": 2}),
    "bat": (lambda screen: bat_frames(), False, {"depth": 7, "behaviour": 4, "randomStart": 0}),
    "shooting star": (shooting_star_frames, True, {"depth": 8, "behaviour": 2, "autoRepeat": 0}),
    "twinkle": (lambda screen: twinkle_frames(), True, {"depth": 8, "behaviour": 2}),
    "gold spark": (lambda screen: spark_frames((255, 206, 110)), True, {"depth": 5, "behaviour": 5}),
    "rose spark": (lambda screen: spark_frames((255, 120, 170)), True, {"depth": 5, "behaviour": 5}),
    "aqua spark": (lambda screen: spark_frames((120, 226, 255)), True, {"depth": 5, "behaviour": 5}),
}


def sprite(name, obj, size, depth, behaviour, x, y, speed=(0, 0), **fields):
    """A sprite record as the animation manifest takes it; the defaults suit most sprites:
    placed where told, repeating, every frame shown once per tick, sound on."""
    record = {"name": name, "objectName": obj, "depth": depth, "behaviour": behaviour, "autoRepeat": 1,
              "randomStart": 0, "imageWidth": size[0], "imageHeight": size[1], "startFrame": 0,
              "frameCount": 0, "skipCount": 0, "x": x, "y": y, "speedX": speed[0], "speedY": speed[1],
              "soundOn": 1}
    record.update(fields)
    return record


def scene_sprites(screen, sizes, frame_counts):
    """The scene, deepest first. A sprite's frameCount is its object's frames, so that each
    cycle shows all of them (a one-shot sprite adds its closing blank frame itself)."""
    u, width, height = screen.unit, screen.width, screen.height

    def make(name, obj, depth, behaviour, x, y, speed=(0, 0), **fields):
        fields.setdefault("frameCount", frame_counts[obj])
        return sprite(name, obj, sizes[obj], depth, behaviour, int(x), int(y), speed, **fields)

    # Sprites that wait before they start stand somewhere in sight meanwhile: one out of
    # sight would never be stepped, and so never start.
    waiting = (width // 2, 60 * u)
    sprites = [
        make("high cloud", "small cloud", 9, 0, width * 0.0625, 44 * u, (1, 0), skipCount=40),
        make("far cloud", "cloud", 9, 0, width * 0.516, 160 * u, (1, 0), skipCount=30),
        make("first twinkle", "twinkle", 8, 2, *waiting, skipCount=4),
        make("second twinkle", "twinkle", 8, 2, *waiting, skipCount=4, startFrame=18, soundOn=0),
        make("shooting star", "shooting star", 8, 2, *waiting, autoRepeat=0, startFrame=24, skipCount=1),
        make("bat", "bat", 7, 4, *bat_path(screen)[0]),
        make("balloon", "balloon", 6, 1, width * 0.15, 150 * u, (1, -1), skipCount=2),
    ]
    for i, colour in enumerate(("gold", "rose", "aqua") * 3):
        sprites.append(make("spark %d" % (i + 1), colour + " spark", 5, 5, 0, 0, startFrame=30))
    fireflies = ((0.47, 60), (0.656, 40), (0.8125, 72), (0.328, 34))  # across, up from the bottom
    for i, (across, up) in enumerate(fireflies):
        sprites.append(make("firefly %d" % (i + 1), "firefly", 3, 3, width * across, height - up * u, (3, 2),
                            skipCount=2 + i % 2))
    sprites.append(make("near cloud", "cloud", 2, 0, width * 0.1875, 250 * u, (2, 0), skipCount=24))
    return sprites


# --- Writing ---------------------------------------------------------------------------------------


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def object_entry(name, sources, screen):
    draw, glow, defaults = OBJECTS[name]
    width, height, frames, backdrop = draw(screen)
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
    if name == "bat":
        entry["locations"] = bat_path(screen)
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


def build(tool, out, install_dir, sources, screen):
    write(os.path.join(sources, "blip.wav"), chime_wave())
    objects = [object_entry(name, sources, screen) for name in OBJECTS]
    write(os.path.join(sources, "objects.json"), json.dumps({"objects": objects}, indent=1).encode())
    pack(tool, os.path.join(sources, "objects.json"), os.path.join(out, "demo.foe"))

    sizes = {o["name"]: (o["imageWidth"], o["imageHeight"]) for o in objects}
    counts = {o["name"]: len(o["frames"]) for o in objects}
    animation = {"objectFile": install_path(install_dir, "demo.foe"), "sprites": scene_sprites(screen, sizes, counts)}
    write(os.path.join(sources, "animation.json"), json.dumps(animation, indent=1, ensure_ascii=False).encode())
    pack(tool, os.path.join(sources, "animation.json"), os.path.join(out, "demo.anm"))

    write(os.path.join(out, "background.bmp"), background(screen))
    write(os.path.join(out, "music.mid"), midi_file())
    shutil.copyfile(os.path.join(sources, "blip.wav"), os.path.join(out, "blip.wav"))


def screen_size(text):
    match = re.fullmatch(r"(\d+)x(\d+)", text)
    if not match or not (160 <= int(match[1]) <= 8192 and 120 <= int(match[2]) <= 8192):
        raise argparse.ArgumentTypeError("not WIDTHxHEIGHT from 160x120 to 8192x8192: " + text)
    return Screen(int(match[1]), int(match[2]))


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Kelna's demo animation.")
    parser.add_argument("--tool", required=True, help="the kelna-tool program")
    parser.add_argument("--out", required=True, help="the folder to write into")
    parser.add_argument("--install-dir", help="the folder the saver will read the files from (default: OUT)")
    parser.add_argument("--sources", help="keep the frames and manifests in this folder")
    parser.add_argument("--size", default="640x480", type=screen_size,
                        help="the screen the scene is laid out for (default 640x480)")
    args = parser.parse_args(argv)
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
