#!/usr/bin/env python3
"""Draws the button pictures as 24-bit
bitmaps into resources/glyphs. Run once; the results are committed.

Each button picture's bottom-left pixel holds the colour that the button
draws transparent (magenta for Load and Save, white for Close, olive for the
open dialog's Preview button)."""
import os
import struct

MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)


def write_bmp(path, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


# The 16 colours of the standard palette; the icon images use only these.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def write_indexed_bmp(path, width, height, bits, palette, pixel):
    """A bitmap with a colour table (4 or 8 bits), each pixel's index looked up."""
    entries = 1 << bits
    table = list(palette) + [(0, 0, 0)] * (entries - len(palette))
    stride = ((width * bits + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):
        indices = [table.index(pixel(x, y)) for x in range(width)]
        row = bytearray()
        if bits == 8:
            row += bytes(indices)
        else:
            for i in range(0, width, 2):
                hi = indices[i]
                lo = indices[i + 1] if i + 1 < width else 0
                row.append((hi << 4) | lo)
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in table)
    offset = 54 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 3780, 3780,
                       entries, 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + data)


def inside(x, y, box):
    x0, y0, x1, y1 = box
    return x0 <= x <= x1 and y0 <= y <= y1


def load_glyph(x, y):
    # An open folder with a picture sliding out of it.
    if inside(x, y, (14, 4, 38, 26)):
        if inside(x, y, (14, 4, 38, 4)) or inside(x, y, (14, 26, 38, 26)) or x in (14, 38):
            return (0, 0, 0)
        if y > 16 and (x - 14) // 4 % 2 == 0:
            return (40, 140, 40)  # hills
        if (x - 30) ** 2 + (y - 10) ** 2 <= 9:
            return (250, 200, 0)  # sun
        return (140, 200, 255)  # sky
    if inside(x, y, (3, 18, 43, 43)):
        if y == 18 or y == 43 or x == 3 or x == 43:
            return (120, 80, 0)
        return (240, 190, 60) if y < 30 else (220, 165, 40)
    if inside(x, y, (3, 14, 18, 17)):
        return (200, 150, 30)
    return MAGENTA


def save_glyph(x, y):
    # A diskette.
    if not inside(x, y, (4, 4, 42, 42)) or (x > 38 and y < 8 and x - 38 > y - 4):
        return MAGENTA
    if x in (4, 42) or y in (4, 42):
        return (0, 0, 0)
    if inside(x, y, (12, 5, 34, 17)):
        if inside(x, y, (27, 7, 31, 15)):
            return (30, 30, 30)
        return (200, 200, 200)
    if inside(x, y, (9, 24, 37, 41)):
        if y in (28, 32, 36) and inside(x, y, (12, 24, 34, 41)):
            return (90, 90, 160)
        return (250, 250, 250)
    return (30, 60, 150)


def close_glyph(x, y):
    # A door left open.
    if not inside(x, y, (1, 1, 13, 15)):
        return WHITE
    if inside(x, y, (1, 1, 13, 1)) or x in (1, 13):
        return (0, 0, 0)
    if inside(x, y, (2, 2, 8, 15)):
        if x == 7 and y == 8:
            return (255, 220, 0)
        return (150, 90, 30)
    return (60, 60, 60)


# A white page with a turned-down corner under a magnifying glass, on olive.
PREVIEW_ART = [
    "................",
    ".KKKKKKKK.......",
    ".KWWWWWWKK......",
    ".KWWWWWWKgK.....",
    ".KWWWWWWKggK....",
    ".KWWWWKKKKKK....",
    ".KWWWKCCCsKK....",
    ".KWWKCCCsssKK...",
    ".KWWKCCsssWKK...",
    ".KWWKCsssssKK...",
    ".KWWWKsssKKmK...",
    ".KWWWWKKKKmmm...",
    ".KWWWWWWWWKmmm..",
    ".KWWWWWWWWWKmmm.",
    ".KKKKKKKKKKK.mm.",
    "................",
]
PREVIEW_COLOURS = {".": (128, 128, 0), "K": (0, 0, 0), "W": (255, 255, 255),
                   "g": (192, 192, 192), "C": (0, 255, 255), "s": (192, 192, 192),
                   "m": (128, 0, 0)}


def preview_glyph(x, y):
    return PREVIEW_COLOURS[PREVIEW_ART[y][x]]


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "glyphs")
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "load.bmp"), 47, 48, load_glyph)
    write_bmp(os.path.join(out, "save.bmp"), 47, 47, save_glyph)
    write_bmp(os.path.join(out, "close.bmp"), 15, 17, close_glyph)
    # The open dialog's Preview button: 16 x 16 in 16 colours.
    write_indexed_bmp(os.path.join(out, "preview.bmp"), 16, 16, 4, VGA16, preview_glyph)


if __name__ == "__main__":
    main()
