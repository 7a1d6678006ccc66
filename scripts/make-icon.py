#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows icon file with 16, 24, 32 and 48 pixel
images (32-bit, with alpha): src/shell/ZANKeyboardWedge.ico. The same input gives the same bytes,
so the checked-in file can be remade and compared at any time:

    scripts/make-icon.py [output.ico]

The picture: a blue payment card, its black magnetic stripe, a gold chip and a line of embossed
digits, drawn with 8 x 8 samples per pixel so that the small sizes keep smooth edges.
"""
import os
import struct
import sys

SIZES = (16, 24, 32, 48)
SAMPLES = 8

# Shapes in a unit square, drawn in order; each: (left, top, right, bottom, corner radius, colour).
# A colour is an (r, g, b) tuple or a (top, bottom) pair of tuples for a vertical gradient.
CARD = (0.02, 0.16, 0.98, 0.84)
EDGE = (13, 42, 102)
SHAPES = [
    (*CARD, 0.10, EDGE),
    (CARD[0] + 0.035, CARD[1] + 0.035, CARD[2] - 0.035, CARD[3] - 0.035, 0.075,
     ((64, 132, 230), (22, 70, 160))),
    (CARD[0] + 0.035, 0.27, CARD[2] - 0.035, 0.41, 0.0, (20, 20, 24)),
    (0.12, 0.50, 0.32, 0.65, 0.03, (236, 196, 84)),
    (0.42, 0.53, 0.86, 0.59, 0.0, (235, 240, 250)),
    (0.12, 0.71, 0.58, 0.76, 0.0, (200, 214, 240)),
]


def inside(x, y, shape):
    left, top, right, bottom, radius = shape[:5]
    if x < left or x >= right or y < top or y >= bottom:
        return False
    # Outside a rounded corner's quarter circle?
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(y, shape):
    colour = shape[5]
    if isinstance(colour[0], tuple):
        top, bottom = colour
        t = (y - shape[1]) / (shape[3] - shape[1])
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


def draw(size):
    """Rows of (b, g, r, a) pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    hit = None
                    for shape in SHAPES:
                        if inside(x, y, shape):
                            hit = colour_at(y, shape)
                    if hit:
                        r, g, b, a = r + hit[0], g + hit[1], b + hit[2], a + 1
            n = SAMPLES * SAMPLES
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(b / a), round(g / a), round(r / a), round(255 * a / n)))
        rows.append(row)
    return rows


def image(size):
    """One icon image: a BITMAPINFOHEADER, the colour pixels and the mask, bottom row first."""
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(p) for row in reversed(rows) for p in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:  # transparent where nothing is drawn
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def icon_file():
    images = [image(size) for size in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'src', 'shell',
                                                              'ZANKeyboardWedge.ico')
    data = icon_file()
    with open(path, 'wb') as f:
        f.write(data)
    print(f'{path}: {len(data)} bytes, {", ".join(f"{s} x {s}" for s in SIZES)}')


if __name__ == '__main__':
    main()
