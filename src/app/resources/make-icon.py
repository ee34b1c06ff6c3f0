#!/usr/bin/env python3
"""Draws the program's icon, a folder copied into a second folder, and writes it as pardova.ico (sizes 16 to
256 pixels) and as PNG files of the same sizes (the window icon and the desktop entry's icon).

The shapes are described in a unit square and each size is drawn on its own pixel grid, with the outlines
one pixel wide at every size up to 32, so that the small icons stay sharp instead of being scaled down from
the large one. Needs only Python's standard library.

  make-icon.py [OUTPUT_FOLDER]     (default: the folder of this script)
"""

import os
import struct
import sys
import zlib

SIZES = [16, 24, 32, 48, 64, 128, 256]

# Colours, RGBA.
OUTLINE_BACK = (122, 84, 10, 255)
FILL_BACK = (232, 178, 58, 255)
TAB_BACK = (214, 156, 38, 255)
OUTLINE_FRONT = (122, 84, 10, 255)
FILL_FRONT = (255, 212, 96, 255)
TAB_FRONT = (240, 190, 70, 255)
OUTLINE_ARROW = (18, 92, 34, 255)
FILL_ARROW = (60, 170, 72, 255)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                result = not result
        return result
    return inside


def folder(x0, y0, x1, y1, inset):
    """A folder: a body and the tab on its upper left, both shrunk by inset."""
    w = x1 - x0
    h = y1 - y0
    body = rounded_rect(x0 + inset, y0 + 0.16 * h + inset, x1 - inset, y1 - inset, max(0.0, 0.05 * w - inset))
    tab = rounded_rect(x0 + inset, y0 + inset, x0 + 0.45 * w - inset, y0 + 0.30 * h, max(0.0, 0.05 * w - inset))
    return body, tab


def arrow(cx, cy, length, shaft, head, inset):
    """An arrow pointing right, centred on (cx, cy), shrunk by inset."""
    x0 = cx - length / 2 + inset
    x1 = cx + length / 2 - inset * 1.6
    xs = cx + length / 2 - head
    return polygon([
        (x0, cy - shaft / 2 + inset), (xs, cy - shaft / 2 + inset), (xs, cy - head / 2 + inset * 1.6),
        (x1, cy), (xs, cy + head / 2 - inset * 1.6), (xs, cy + shaft / 2 - inset), (x0, cy + shaft / 2 - inset),
    ])


def layers(size):
    """The shapes to paint, back to front, each with its colour; coordinates in the unit square."""
    line = max(1.0, size / 32.0) / size  # one pixel up to 32 pixels, thicker above
    result = []
    # The source folder, back left; its copy, front right.
    for (x0, y0, x1, y1), outline, fill, tab in (
        ((0.02, 0.08, 0.66, 0.60), OUTLINE_BACK, FILL_BACK, TAB_BACK),
        ((0.34, 0.40, 0.98, 0.92), OUTLINE_FRONT, FILL_FRONT, TAB_FRONT),
    ):
        body, tabshape = folder(x0, y0, x1, y1, 0.0)
        result.append((tabshape, outline))
        result.append((body, outline))
        inner_body, inner_tab = folder(x0, y0, x1, y1, line)
        result.append((inner_tab, tab))
        result.append((inner_body, fill))
    # The arrow from the first to the second, across the overlap.
    cx, cy, length, shaft, head = 0.50, 0.50, 0.64, 0.16, 0.40
    result.append((arrow(cx, cy, length, shaft, head, 0.0), OUTLINE_ARROW))
    result.append((arrow(cx, cy, length, shaft, head, line * 1.2), FILL_ARROW))
    return result


def render(size):
    """Straight-alpha RGBA rows, 4 × 4 samples per pixel."""
    shapes = layers(size)
    samples = 4
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for inside, c in shapes:
                        if inside(x, y):
                            colour = c
                    if colour is not None:
                        a = colour[3] / 255.0
                        acc[0] += colour[0] * a
                        acc[1] += colour[1] * a
                        acc[2] += colour[2] * a
                        acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha > 0:
                rgb = [round(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row += bytes(rgb + [round(alpha * 255)])
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(size, rows):
    """An icon image as the system's own format: a 32-bit BGRA bitmap, bottom row first, and its AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for i in range(0, len(row), 4):
            r, g, b, a = row[i:i + 4]
            pixels += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x in range(size):
            if row[x * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """images: (size, data) in order; 256 is written as 0 in the directory, as the format says."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        side = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    return directory + body


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    images = []
    for size in SIZES:
        rows = render(size)
        encoded = png(size, rows)
        with open(os.path.join(out, "pardova-%d.png" % size), "wb") as f:
            f.write(encoded)
        # The largest image as PNG keeps the file small; the others as bitmaps, which every loader reads.
        images.append((size, encoded if size >= 256 else dib(size, rows)))
    with open(os.path.join(out, "pardova.ico"), "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
