#!/usr/bin/env python3
"""Draws Kelna's program icon and writes it as a Windows .ico file.

The picture is a night sky: a golden five-pointed star with a white sparkle beside it on a
deep-blue rounded square, with a few faint distant stars on the larger sizes. Every size is
drawn from the same shapes at its own resolution (no scaling of a finished bitmap), with
supersampled, anti-aliased edges. The 16-pixel image leaves out the fine detail that would
only turn into noise at that size.

The .ico holds 16x16, 32x32 and 48x48 images, each a 32-bit BGRA DIB (BITMAPINFOHEADER with
the height doubled) followed by its 1-bit AND mask, which every Windows version and Wine
read. Standard library only; the output depends on nothing but this script.

usage: make_icon.py OUTPUT.ico [--png-dir DIR]
  --png-dir DIR  also write each image as DIR/kelna-<size>.png, for looking at it
"""

import argparse
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48)

# Palette (sRGB, 0..255).
SKY_TOP = (7, 14, 46)
SKY_BOTTOM = (24, 62, 138)
RIM = (92, 132, 214)
GLOW = (255, 214, 110)
STAR_LIGHT = (255, 240, 140)
STAR_DARK = (255, 172, 36)
STAR_SHADE = (214, 118, 14)
STAR_HIGHLIGHT = (255, 250, 200)
SPARKLE = (255, 255, 255)
FAINT_STAR = (206, 222, 255)

# Where the light comes from: upper left and in front (x right, y down, z toward the viewer).
LIGHT = tuple(c / math.sqrt(0.5 ** 2 + 0.6 ** 2 + 0.62 ** 2) for c in (-0.5, -0.6, 0.62))

# Shapes, in unit coordinates: (0, 0) is the top left corner, (1, 1) the bottom right.
CORNER_RADIUS = 0.21
STAR_CENTER = (0.42, 0.60)
STAR_RADIUS = 0.315
STAR_INNER_RATIO = 0.46          # fatter than a geometric star: reads better when small
SPARKLE_CENTER = (0.765, 0.245)
FAINT_STARS = ((0.19, 0.21, 0.030), (0.905, 0.575, 0.024), (0.78, 0.865, 0.024))


def star_points(cx, cy, outer, inner, tips, rotation=0.0):
    """Vertices of a star with the given number of tips, the first tip pointing up."""
    points = []
    for i in range(2 * tips):
        radius = outer if i % 2 == 0 else inner
        angle = rotation + math.pi * i / tips
        points.append((cx + radius * math.sin(angle), cy - radius * math.cos(angle)))
    return points


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    ex, ey = px - (ax + t * dx), py - (ay + t * dy)
    return math.hypot(ex, ey)


def polygon_sdf(px, py, points):
    """Signed distance to a closed polygon: negative inside."""
    inside = False
    best = float("inf")
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        best = min(best, segment_distance(px, py, ax, ay, bx, by))
        if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return -best if inside else best


def rounded_square_sdf(px, py, margin, radius):
    half = 0.5 - margin - radius
    qx = abs(px - 0.5) - half
    qy = abs(py - 0.5) - half
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def facet_light(centre, a, b, height=0.11):
    """How much lighter (+) or darker (-) than a flat surface one facet of the star is."""
    ax, ay = a[0] - centre[0], a[1] - centre[1]
    bx, by = b[0] - centre[0], b[1] - centre[1]
    # Normal of the plane through (a, 0), (b, 0) and (centre, height); y points down.
    nx = height * (by - ay)
    ny = -height * (bx - ax)
    nz = ax * by - ay * bx
    if nz < 0:
        nx, ny, nz = -nx, -ny, -nz
    length = math.sqrt(nx * nx + ny * ny + nz * nz)
    lx, ly, lz = LIGHT
    return (nx * lx + ny * ly + nz * lz) / length - lz


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Scene:
    """The icon's shapes laid out for one image size."""

    def __init__(self, size):
        self.size = size
        self.pixel = 1.0 / size
        self.small = size < 24
        self.margin = 1.0 / 32
        # Centres sit on pixel centres, so that the vertical rays and axes come out crisp.
        snap = lambda v: (math.floor(v * size) + 0.5) / size
        cx, cy = self.star_center = snap(STAR_CENTER[0]), STAR_CENTER[1]
        radius = STAR_RADIUS * (1.06 if self.small else 1.0)
        self.star = star_points(cx, cy, radius, radius * STAR_INNER_RATIO, 5)
        sparkle_radius = 0.175 if self.small else 0.165
        sparkle_waist = 0.05 if self.small else 0.032
        self.sparkle_center = snap(SPARKLE_CENTER[0]), snap(SPARKLE_CENTER[1])
        self.sparkle = star_points(*self.sparkle_center, sparkle_radius, sparkle_waist, 4)
        self.faint_stars = () if self.small else [(snap(x), snap(y), r) for x, y, r in FAINT_STARS]
        # A bevel: the star is a low pyramid whose ten facets run from the centre to the
        # tips and inner corners, lit from the upper left. Too fine to show at 16 pixels.
        self.facets = not self.small
        self.facet_light = [facet_light((cx, cy), self.star[k], self.star[(k + 1) % 10])
                            for k in range(10)]

    def shade(self, x, y):
        """Colour (r, g, b, alpha) at a point, and the distance to the nearest hard edge."""
        px = self.pixel
        edge = float("inf")

        d = rounded_square_sdf(x, y, self.margin, CORNER_RADIUS)
        edge = min(edge, abs(d))
        if d > 0:
            return (0.0, 0.0, 0.0, 0.0), edge

        colour = mix(SKY_TOP, SKY_BOTTOM, min(1.0, max(0.0, (y - 0.05) / 0.9)))
        # A lighter rim one pixel wide keeps the square's outline visible on dark surfaces.
        rim_width = px * (0.9 if self.small else 1.0)
        if d > -rim_width:
            colour = mix(colour, RIM, 0.55 if self.small else 0.6)
        edge = min(edge, abs(d + rim_width))

        cx, cy = self.star_center
        glow = max(0.0, 1.0 - math.hypot(x - cx, y - cy) / 0.48)
        colour = mix(colour, GLOW, 0.30 * glow * glow)
        sx, sy = self.sparkle_center
        glow = max(0.0, 1.0 - math.hypot(x - sx, y - sy) / 0.2)
        colour = mix(colour, SPARKLE, 0.22 * glow * glow)

        for fx, fy, fr in self.faint_stars:
            d = math.hypot(x - fx, y - fy) - fr
            edge = min(edge, abs(d))
            if d < 0:
                colour = FAINT_STAR

        d = polygon_sdf(x, y, self.sparkle)
        edge = min(edge, abs(d))
        if d < 0:
            colour = SPARKLE

        d = polygon_sdf(x, y, self.star)
        edge = min(edge, abs(d))
        if d < 0:
            top = self.star[0][1]
            bottom = max(p[1] for p in self.star)
            colour = mix(STAR_LIGHT, STAR_DARK, min(1.0, max(0.0, (y - top) / (bottom - top))))
            if self.facets:
                for vx, vy in self.star:
                    edge = min(edge, segment_distance(x, y, cx, cy, vx, vy))
                # Facet k lies between vertex k and vertex k+1, clockwise from the top tip.
                angle = math.atan2(x - cx, cy - y) % (2 * math.pi)
                light = self.facet_light[int(angle / (math.pi / 5)) % 10]
                if light < 0:
                    colour = mix(colour, STAR_SHADE, min(1.0, -light * 1.6))
                else:
                    colour = mix(colour, STAR_HIGHLIGHT, min(1.0, light * 1.4))
        return (colour[0], colour[1], colour[2], 1.0), edge


def render(size, samples=8):
    """RGBA rows, top row first, each pixel (r, g, b, a) in 0..255 with straight alpha."""
    scene = Scene(size)
    px = scene.pixel
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            x, y = (i + 0.5) * px, (j + 0.5) * px
            colour, edge = scene.shade(x, y)
            if edge > 0.75 * px:
                acc = [c * colour[3] for c in colour[:3]] + [colour[3]]
                count = 1
            else:
                acc = [0.0, 0.0, 0.0, 0.0]
                count = samples * samples
                for sj in range(samples):
                    for si in range(samples):
                        c, _ = scene.shade((i + (si + 0.5) / samples) * px,
                                           (j + (sj + 0.5) / samples) * px)
                        acc[0] += c[0] * c[3]
                        acc[1] += c[1] * c[3]
                        acc[2] += c[2] * c[3]
                        acc[3] += c[3]
            alpha = acc[3] / count
            if alpha <= 0.0:
                row.append((0, 0, 0, 0))
                continue
            rgb = [min(255, max(0, round(a / acc[3]))) for a in acc[:3]]
            row.append((rgb[0], rgb[1], rgb[2], min(255, max(0, round(alpha * 255)))))
        rows.append(row)
    return rows


def dib_image(rows):
    """A 32-bit icon image: BITMAPINFOHEADER (height doubled), BGRA pixels, AND mask."""
    size = len(rows)
    pixels = bytearray()
    for row in reversed(rows):                      # DIBs store the bottom row first
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4           # rows padded to 32 bits
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:                              # 1 = transparent
                line[i // 8] |= 0x80 >> (i % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images. images: [(size, data)]."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def png_file(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def write_if_changed(path, data):
    """Leaves an identical file alone, so that its time stamp does not force rebuilds."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    parser = argparse.ArgumentParser(description="Draw Kelna's program icon.")
    parser.add_argument("output", help="the .ico file to write")
    parser.add_argument("--png-dir", help="also write each size as a PNG into this folder")
    args = parser.parse_args(argv)

    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, dib_image(rows)))
        if args.png_dir:
            os.makedirs(args.png_dir, exist_ok=True)
            write_if_changed(os.path.join(args.png_dir, f"kelna-{size}.png"), png_file(rows))
    write_if_changed(args.output, ico_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
