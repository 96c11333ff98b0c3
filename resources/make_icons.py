#!/usr/bin/env python3
"""Draws the updater's two icons and writes them as Windows .ico files (no imaging library needed).

    python3 resources/make_icons.py        # rewrites resources/ico/*.ico

upgrage_firmware.ico: a chip with a download arrow, 11 images: 16, 32 and 48 px at 4 and 8 bits per
pixel (palette + AND mask), 16, 32, 48 and 128 px at 32 bits per pixel (BGRA + AND mask), and 256 px
at 32 bits per pixel stored as PNG (the usual form for the largest size).
Brellix_logo_002.ico: the vendor mark, one 64 x 64 image at 32 bits per pixel.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SUPERSAMPLE = 4


# ---------------------------------------------------------------- drawing (unit square, y down)

def _inside_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def _inside_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


ARROW = [(0.42, 0.18), (0.58, 0.18), (0.58, 0.50), (0.70, 0.50), (0.50, 0.72), (0.30, 0.50), (0.42, 0.50)]


def firmware_colour(x, y):
    """Colour (r, g, b, a) of the firmware icon at a point of the unit square."""
    # Arrow in front.
    if _inside_polygon(x, y, ARROW):
        return (255, 255, 255, 255)
    if _inside_polygon(x, y, [(px + 0.025, py + 0.025) for px, py in ARROW]):
        return (20, 60, 20, 255)
    # Chip body with pins.
    if _inside_round_rect(x, y, 0.18, 0.18, 0.82, 0.82, 0.06):
        if _inside_round_rect(x, y, 0.22, 0.22, 0.78, 0.78, 0.04):
            return (30, 140, 60, 255)
        return (10, 70, 30, 255)
    for i in range(4):
        c = 0.28 + i * 0.148
        if abs(x - c) < 0.035 and (0.06 < y < 0.18 or 0.82 < y < 0.94):
            return (200, 170, 60, 255)
        if abs(y - c) < 0.035 and (0.06 < x < 0.18 or 0.82 < x < 0.94):
            return (200, 170, 60, 255)
    return (0, 0, 0, 0)


def logo_colour(x, y):
    """Colour of the vendor mark: a blue disc with a white ring and a lightning bolt."""
    d = math.hypot(x - 0.5, y - 0.5)
    if d > 0.47:
        return (0, 0, 0, 0)
    bolt = [(0.55, 0.14), (0.30, 0.54), (0.47, 0.54), (0.40, 0.86), (0.70, 0.42), (0.53, 0.42), (0.62, 0.14)]
    if _inside_polygon(x, y, bolt):
        return (255, 210, 40, 255)
    if 0.36 < d < 0.41:
        return (255, 255, 255, 255)
    shade = int(150 + 80 * (1 - d / 0.47))
    return (20, 70, shade, 255)


def render(colour, size):
    """RGBA rows (top first) of the drawing at size x size, anti-aliased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    cr, cg, cb, ca = colour((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, a // (n * n)))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- palettes

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PAL256 = CUBE + [(v, v, v) for v in range(8, 248, 6)][:40]


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


# ---------------------------------------------------------------- file formats

def _and_mask(rows, size):
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib(rows, size, bpp):
    """An icon image as a BITMAPINFOHEADER DIB: colour table, XOR bitmap, AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    if bpp == 32:
        pixels = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                pixels += bytes((b, g, r, a))
        return header + bytes(pixels) + _and_mask(rows, size)
    palette = VGA16 if bpp == 4 else PAL256
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette) + bytes(4 * ((1 << bpp) - len(palette)))
    stride = ((size * bpp + 31) // 32) * 4
    pixels = bytearray()
    cache = {}
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (r, g, b, a) in enumerate(row):
            key = (r, g, b) if a >= 128 else (0, 0, 0)
            if key not in cache:
                cache[key] = nearest(palette, key)
            index = cache[key]
            if bpp == 8:
                line[x] = index
            elif x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
        pixels += line
    return header + table + bytes(pixels) + _and_mask(rows, size)


def png(rows, size):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b''.join(b'\x00' + bytes(c for px in row for c in px) for row in rows)
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def ico(images):
    """images: list of (size, bpp, data)."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    blobs = b''
    for size, bpp, data in images:
        colours = (1 << bpp) if bpp < 8 else 0
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, colours % 256, 0, 1, bpp, len(data), offset)
        offset += len(data)
        blobs += data
    return out + entries + blobs


def main():
    cache = {}

    def rows_for(colour, size):
        if (colour, size) not in cache:
            cache[(colour, size)] = render(colour, size)
        return cache[(colour, size)]

    images = []
    for bpp in (4, 8):
        for size in (16, 32, 48):
            images.append((size, bpp, dib(rows_for(firmware_colour, size), size, bpp)))
    for size in (16, 32, 48, 128):
        images.append((size, 32, dib(rows_for(firmware_colour, size), size, 32)))
    images.append((256, 32, png(rows_for(firmware_colour, 256), 256)))
    with open(os.path.join(HERE, 'ico', 'upgrage_firmware.ico'), 'wb') as f:
        f.write(ico(images))

    with open(os.path.join(HERE, 'ico', 'Brellix_logo_002.ico'), 'wb') as f:
        f.write(ico([(64, 32, dib(render(logo_colour, 64), 64, 32))]))


if __name__ == '__main__':
    main()
