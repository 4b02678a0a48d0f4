#!/usr/bin/env python3
"""Draws the Quillbrae icon (16, 32 and 48 pixels, 32-bit with alpha) and
writes it as quillbrae.ico. Pure standard library, so it runs anywhere the
build does: `python3 resources/make_icon.py`.

The picture: a rate chart on a deep-blue tile, a rising gold line with a
red point at its latest value, over a faint baseline. Drawn on a 48-unit
grid and supersampled, so the small sizes stay crisp enough to read.
"""
import math
import os
import struct

GRID = 48.0
TILE = (0x1F, 0x3A, 0x6B)       # deep blue
TILE_TOP = (0x2E, 0x5A, 0x9C)    # lighter at the top edge
BASE = (0x8F, 0xB4, 0xE8)        # the base line
LINE = (0xFF, 0xC8, 0x3D)        # gold rate line
POINT = (0xEB, 0x52, 0x5D)       # the latest value, the chart's own red

CHART = [(7, 33), (15, 27), (22, 31), (30, 20), (36, 23), (41, 11)]


def rounded_tile(x, y):
    r = 9.0
    lo, hi = 1.0, GRID - 1.0
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def colour_at(x, y):
    """Colour and alpha of one sample point on the design grid."""
    if not rounded_tile(x, y):
        return None
    t = y / GRID
    c = tuple(int(TILE_TOP[i] * (1 - t) + TILE[i] * t) for i in range(3))
    if abs(y - 31.0) < 1.0 and 5 <= x <= 43:
        c = BASE
    for (ax, ay), (bx, by) in zip(CHART, CHART[1:]):
        if segment_distance(x, y, ax, ay, bx, by) <= 2.6:
            c = LINE
            break
    ex, ey = CHART[-1]
    if math.hypot(x - ex, y - ey) <= 4.6:
        c = POINT
    return c


def render(size, samples=4):
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (col + (sx + 0.5) / samples) * GRID / size
                    y = (row + (sy + 0.5) / samples) * GRID / size
                    c = colour_at(x, y)
                    if c:
                        covered += 1
                        for i in range(3):
                            acc[i] += c[i]
            n = samples * samples
            if covered:
                rgb = [a // covered for a in acc]
                alpha = covered * 255 // n
            else:
                rgb, alpha = [0, 0, 0], 0
            line.append((rgb[0], rgb[1], rgb[2], alpha))
        pixels.append(line)
    return pixels


def dib(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            body += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    body += bytes(mask_row * size)  # AND mask: alpha does the work
    return header + bytes(body)


def main():
    sizes = [16, 32, 48]
    images = [dib(s, render(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "quillbrae.ico")
    with open(path, "wb") as f:
        f.write(out)
    print(path)


if __name__ == "__main__":
    main()
