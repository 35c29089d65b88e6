#!/usr/bin/env python3
"""Draws the chainer's icon (ui/Chainer.ico): two linked white rings on a blue rounded square,
at 16, 24, 32 and 48 pixels, 32-bit with alpha. The 16-pixel image is a bitmap, which every
Windows reads; the larger ones are PNG images (read since Vista), a tenth of the bitmap's size.
Usage: make-icon.py OUTPUT.ico"""
import math
import struct
import sys
import zlib

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


def rgba_rows(size):
    """Top-down rows of RGBA pixels."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            square, rings = pixel(x, y, size)
            t = y / max(1, size - 1)
            base = [round(TOP[i] + (BOTTOM[i] - TOP[i]) * t) for i in range(3)]
            white = rings / square if square else 0
            r, g, b = (round(base[i] + (255 - base[i]) * white) for i in range(3))
            row += bytes((r, g, b, round(255 * square)))
        rows.append(bytes(row))
    return rows


def bitmap(size):
    rows = []
    for row in reversed(rgba_rows(size)):  # bottom-up BGRA
        rows.append(b"".join(bytes((row[i + 2], row[i + 1], row[i], row[i + 3])) for i in range(0, len(row), 4)))
    pixels = b"".join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # the alpha channel decides; the AND mask is all zero
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def png(size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rgba_rows(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def image(size):
    return bitmap(size) if size == 16 else png(size)


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
