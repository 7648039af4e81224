#!/usr/bin/env python3
"""Writes a 24-bit sample picture for the screenshot: a shop sign with a
coloured background, a dark badge and a few letters."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_glyphs import write_bmp  # noqa: E402

W, H = 300, 160

# 5 x 7 letters for the sign.
FONT = {
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
}
TEXT = "TILLORA"
SCALE = 5


def letter_pixel(x, y):
    x0, y0 = 40, 100
    col, row = (x - x0) // SCALE, (y - y0) // SCALE
    if row < 0 or row >= 7 or col < 0:
        return False
    index, within = divmod(col, 6)
    if index >= len(TEXT) or within >= 5:
        return False
    return FONT[TEXT[index]][row][within] == "1"


def pixel(x, y):
    if letter_pixel(x, y):
        return (20, 20, 90)
    cx, cy = 150, 50
    if (x - cx) ** 2 + (y - cy) ** 2 <= 36 ** 2:
        if abs(x - cx) < 20 and abs(y - cy) < 6 or abs(x - cx) < 6 and abs(y - cy) < 20:
            return (255, 255, 255)
        return (200, 30, 40)
    # A soft gradient that the thresholds turn white.
    return (235 - y // 8, 225 - x // 20, 160 + x // 4)


def main():
    write_bmp(sys.argv[1], W, H, pixel)


if __name__ == "__main__":
    main()
