#!/usr/bin/env python3
"""Draws the resource module's file type icons (16 to 64 pixels, 32-bit
with alpha) and writes them as .ico files. The output is committed; run this
again after changing a drawing:  python3 tools/make_icons.py resmodule/icons
"""
import math
import struct
import sys
from pathlib import Path

# Every size that a small or large icon takes from 100 % to 200 % (and 150 %
# of the large one).
SIZES = (16, 20, 24, 32, 40, 48, 64)


def page(u, v):
    """A document sheet with a folded corner, in unit coordinates."""
    if not (0.14 <= u <= 0.86 and 0.04 <= v <= 0.96):
        return None
    if u + (0.96 - v) > 0.86 + 0.72 - 0.24 and u > 0.62 and v > 0.72:
        return None  # the folded corner is cut off
    edge = min(u - 0.14, 0.86 - u, v - 0.04, 0.96 - v)
    return "edge" if edge < 0.045 else "paper"


def wave(u, v):
    return abs((0.5 + 0.18 * math.sin((u - 0.22) * 2 * math.pi * 1.6)) - v) < 0.06 and 0.2 < u < 0.8


def note(u, v):
    head = (u - 0.42) ** 2 / 0.012 + (v - 0.30) ** 2 / 0.006 < 1
    stem = 0.49 <= u <= 0.55 and 0.30 <= v <= 0.78
    flag = 0.55 <= u <= 0.70 and 0.66 <= v <= 0.78 and (u - 0.55) < (v - 0.60)
    return head or stem or flag


def ring(u, v):
    r = math.hypot(u - 0.5, v - 0.46)
    return 0.12 < r < 0.24


def diamond(u, v):
    return abs(u - 0.5) + abs(v - 0.46) < 0.24


def triangle(u, v):
    return 0.26 < v < 0.66 and abs(u - 0.5) < (0.66 - v) * 0.62


def bars(u, v):
    for i, h in enumerate((0.30, 0.50, 0.40, 0.58, 0.24)):
        x0 = 0.24 + i * 0.11
        if x0 <= u <= x0 + 0.07 and 0.22 <= v <= 0.22 + h:
            return True
    return False


def lines(u, v):
    return 0.26 <= u <= 0.74 and any(abs(v - y) < 0.035 for y in (0.28, 0.42, 0.56, 0.70))


def disc(u, v):
    r = math.hypot(u - 0.5, v - 0.5)
    if r > 0.44:
        return None
    if r < 0.07:
        return None
    if r < 0.14:
        return "hub"
    return "shine" if 0.2 < r < 0.26 and u > v else "disc"


ICONS = {
    # name: (glyph, colour of the glyph (r, g, b), kind)
    "default": (note, (90, 90, 110), "page"),
    "ape": (triangle, (170, 60, 40), "page"),
    "cda": (None, (160, 170, 190), "disc"),
    "flac": (bars, (40, 120, 60), "page"),
    "playlist": (lines, (120, 80, 40), "page"),
    "mp3": (note, (30, 80, 170), "page"),
    "ogg": (ring, (200, 120, 20), "page"),
    "wav": (wave, (20, 130, 150), "page"),
    "wma": (diamond, (110, 40, 150), "page"),
}


def pixel(name, u, v):
    glyph, colour, kind = ICONS[name]
    if kind == "disc":
        part = disc(u, v)
        return {None: None, "hub": (220, 220, 230, 255), "shine": (250, 250, 255, 255),
                "disc": colour + (255,)}[part]
    part = page(u, v)
    if part is None:
        return None
    if part == "edge":
        return (70, 70, 80, 255)
    if glyph(u, v):
        return colour + (255,)
    return (250, 250, 246, 255)


def image(name, size):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + AND mask, as .ico wants."""
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for y in range(size):  # bottom-up: first row stored is the bottom one
        v = (y + 0.5) / size
        row = bytearray()
        bits = 0
        mask = bytearray(mask_stride)
        for x in range(size):
            u = (x + 0.5) / size
            p = pixel(name, u, v)
            if p is None:
                row += bytes((0, 0, 0, 0))
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b, a = p
                row += bytes((b, g, r, a))
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         size * size * 4 + mask_stride * size, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def ico(name):
    images = [image(name, s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "resmodule/icons")
    folder.mkdir(parents=True, exist_ok=True)
    for name in ICONS:
        (folder / f"{name}.ico").write_bytes(ico(name))


if __name__ == "__main__":
    main()
