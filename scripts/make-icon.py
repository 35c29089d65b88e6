#!/usr/bin/env python3
"""Draws the chainer's icon (ui/Chainer.ico): two linked white rings on a blue rounded square,
at 16, 24, 32 and 48 pixels, 32-bit with alpha. Usage: make-icon.py OUTPUT.ico"""
import math
import struct
import sys

SIZES = (16, 24, 32, 48)
SAMPLES = 4  # per axis: anti-aliasing by supersampling
TOP = (0x2F, 0x86, 0xE8)
BOTTOM = (0x13, 0x4F, 0xB0)


def inside_rounded_square(x, y, size):
    radius = size * 0.22
    margin = size * 0.04
    low, high = margin + radius, size - margin - radius
    cx = min(max(x, low), high)
    cy = min(max(y, low), high)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def on_ring(x, y, cx, cy, radius, width):
    return abs(math.hypot(x - cx, y - cy) - radius) <= width / 2


def pixel(x, y, size):
    """(coverage of the square, coverage of the white rings) for one pixel."""
    square = rings = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            px = x + (sx + 0.5) / SAMPLES
            py = y + (sy + 0.5) / SAMPLES
            if not inside_rounded_square(px, py, size):
                continue
            square += 1
            radius, width = size * 0.19, max(1.2, size * 0.09)
            if (on_ring(px, py, size * 0.38, size * 0.5, radius, width)
                    or on_ring(px, py, size * 0.62, size * 0.5, radius, width)):
                rings += 1
    total = SAMPLES * SAMPLES
    return square / total, rings / total


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            square, rings = pixel(x, y, size)
            t = y / max(1, size - 1)
            base = [round(TOP[i] + (BOTTOM[i] - TOP[i]) * t) for i in range(3)]
            white = rings / square if square else 0
            r, g, b = (round(base[i] + (255 - base[i]) * white) for i in range(3))
            row += bytes((b, g, r, round(255 * square)))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # the alpha channel decides; the AND mask is all zero
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main():
    images = [image(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
