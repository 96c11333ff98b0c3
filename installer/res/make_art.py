#!/usr/bin/env python3
"""Draws Ferrodin's icon (ferrodin.ico: 32x32 and 16x16, 16 colours) and its dialog picture
(ferrodin.bmp: 100x100, 24 bits per pixel): a USB plug on a blue ground. Plain Python, no imaging
library: the BMP and ICO bytes are written here. Run from anywhere; writes beside this script."""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette (RGB).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, BLUE, WHITE = 0, 4, 7, 8, 12, 15


class Canvas:
    """A square picture in unit coordinates (0..1), sampled at the centre of each pixel."""

    def __init__(self, size, background):
        self.size = size
        self.pixels = [[background] * size for _ in range(size)]

    def fill(self, inside, colour):
        n = self.size
        for y in range(n):
            for x in range(n):
                if inside((x + 0.5) / n, (y + 0.5) / n):
                    self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self.fill(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, colour)

    def disc(self, cx, cy, r, colour):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def line(self, ax, ay, bx, by, width, colour):
        def inside(x, y):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2
        self.fill(inside, colour)


def draw_plug(canvas, body, metal, mark, detail=True):
    """A USB plug pointing up: metal shell, body, cable, and the trident mark on the body."""
    canvas.rect(0.36, 0.08, 0.64, 0.36, metal)       # shell
    canvas.rect(0.41, 0.14, 0.46, 0.20, body)        # shell windows
    canvas.rect(0.54, 0.14, 0.59, 0.20, body)
    canvas.rect(0.30, 0.36, 0.70, 0.76, body)        # body
    canvas.rect(0.46, 0.76, 0.54, 0.96, body)        # cable
    if detail:                                      # the trident on the body
        canvas.line(0.50, 0.42, 0.50, 0.70, 0.035, mark)
        canvas.line(0.50, 0.60, 0.40, 0.52, 0.03, mark)
        canvas.line(0.50, 0.56, 0.60, 0.48, 0.03, mark)
        canvas.disc(0.50, 0.70, 0.035, mark)
        canvas.disc(0.40, 0.52, 0.025, mark)
        canvas.rect(0.58, 0.45, 0.63, 0.50, mark)


def rows_bottom_up(pixels):
    return list(reversed(pixels))


def write_bmp(path, size):
    # 24-bit picture: a vertical blue gradient behind the plug.
    canvas = Canvas(size, None)
    grad = [[None] * size for _ in range(size)]
    for y in range(size):
        t = y / (size - 1)
        for x in range(size):
            grad[y][x] = (int(40 + 60 * t), int(90 + 80 * t), int(170 + 70 * t))
    canvas.pixels = grad
    draw_plug(canvas, (45, 45, 55), (200, 200, 210), (255, 255, 255))
    row_bytes = (size * 3 + 3) & ~3
    data = bytearray()
    for row in rows_bottom_up(canvas.pixels):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        data += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + data)


def icon_image(size):
    # 16-colour image with a transparency mask: a navy rounded tile with the plug.
    canvas = Canvas(size, None)
    canvas.fill(lambda x, y: max(abs(x - 0.5), abs(y - 0.5)) <= 0.47, NAVY)
    draw_plug(canvas, BLACK, SILVER, WHITE, detail=size >= 32)
    xor = bytearray()
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in rows_bottom_up(canvas.pixels):
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            line.append((hi << 4) | lo)
        line += b"\0" * (xor_row - len(line))
        xor += line
        bits = bytearray(and_row)
        for x in range(size):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return info + palette + xor + mask


def write_ico(path, sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    write_ico(os.path.join(HERE, "ferrodin.ico"), [32, 16])
    write_bmp(os.path.join(HERE, "ferrodin.bmp"), 100)
