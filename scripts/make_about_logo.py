#!/usr/bin/env python3
"""Draws the About window's logo: a 567 x 184, 24-bit Windows bitmap.

White is the background and is shown transparent by the window (the bottom-left
pixel is white). The middle part, a receipt with a printed logo, lies over the
window's white panel; a stylised "T" sits left of it and a barcode right of it.
Run from the project root: scripts/make_about_logo.py > resources/AboutLogo.bmp
"""
import struct
import sys

W, H = 567, 184
WHITE = (255, 255, 255)
NAVY = (32, 48, 120)
TEAL = (0, 128, 128)
INK = (20, 20, 20)
GREY = (150, 150, 150)

px = [[WHITE] * W for _ in range(H)]  # px[y][x], y = 0 at the top


def rect(x0, y0, x1, y1, colour):
    for y in range(max(0, y0), min(H, y1)):
        row = px[y]
        for x in range(max(0, x0), min(W, x1)):
            row[x] = colour


def disc(cx, cy, r, colour):
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if 0 <= x < W and 0 <= y < H and (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                px[y][x] = colour


# Left: a "T" on a teal disc.
disc(100, 92, 76, TEAL)
disc(100, 92, 66, WHITE)
rect(52, 40, 148, 62, NAVY)
rect(88, 62, 112, 150, NAVY)

# Middle: a receipt with a zig-zag tear at the bottom.
rx0, rx1, ry0, ry1 = 226, 342, 14, 160
rect(rx0, ry0, rx1, ry0 + 3, GREY)
rect(rx0, ry0, rx0 + 3, ry1, GREY)
rect(rx1 - 3, ry0, rx1, ry1, GREY)
for x in range(rx0, rx1):
    depth = abs(((x - rx0) % 16) - 8)
    rect(x, ry1 + depth - 3, x + 1, ry1 + depth, GREY)
# Its printed logo (a small dotted T) and text lines.
for y in range(30, 52, 4):
    for x in range(258, 312, 4):
        if y < 38 or 278 <= x < 292:
            rect(x, y, x + 3, y + 3, INK)
for i, width in enumerate((80, 64, 88, 52, 72, 40)):
    y = 70 + i * 13
    rect(rx0 + 14, y, rx0 + 14 + width, y + 5, INK)

# Right: a barcode.
bars = [3, 1, 2, 1, 1, 3, 2, 1, 1, 2, 3, 1, 2, 2, 1, 3, 1, 1, 2, 1, 3, 2, 1, 1]
x = 380
for i, b in enumerate(bars):
    if i % 2 == 0:
        rect(x, 40, x + b * 4, 140, NAVY)
    x += b * 4
rect(380, 150, x, 156, TEAL)

# 24-bit BI_RGB bitmap, rows bottom-up, each padded to 4 bytes.
stride = (W * 3 + 3) & ~3
image = bytearray()
for y in range(H - 1, -1, -1):
    row = bytearray()
    for r, g, b in px[y]:
        row += bytes((b, g, r))
    row += b"\0" * (stride - len(row))
    image += row
header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(image), 3780, 3780, 0, 0)
sys.stdout.buffer.write(header + info + image)
