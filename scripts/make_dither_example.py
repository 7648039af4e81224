#!/usr/bin/env python3
"""Makes the README's example of dithering: a photograph-like picture (a
lit sphere on a shaded wall, with a soft shadow) converted once with the
threshold rule and once with Floyd-Steinberg dithering, both written as
1-bit PNGs in docs/.

Usage: scripts/make_dither_example.py [path/to/tillora-logo]"""
import math
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_glyphs import write_bmp  # noqa: E402

W, H = 480, 320
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pixel(x, y):
    # Wall: light from the upper left, falling off to the right and bottom.
    wall = 0.85 - 0.35 * (x / W) - 0.25 * (y / H)
    # Soft shadow of the sphere on the floor.
    sx, sy = (x - 300) / 150.0, (y - 270) / 30.0
    wall *= 1 - 0.55 * math.exp(-(sx * sx + sy * sy))
    level = wall
    cx, cy, r = 220, 150, 110
    dx, dy = x - cx, y - cy
    d2 = dx * dx + dy * dy
    if d2 < r * r:
        # Lambert shading with a highlight, light towards (-0.5, -0.6, 0.62).
        nz = math.sqrt(r * r - d2) / r
        nx, ny = dx / r, dy / r
        lx, ly, lz = -0.5, -0.6, 0.62
        lambert = max(0.0, nx * lx + ny * ly + nz * lz)
        highlight = max(0.0, lambert) ** 30
        level = 0.08 + 0.75 * lambert + 0.3 * highlight
    v = max(0, min(255, int(255 * level)))
    return (v, int(v * 0.9), int(v * 0.8))


def main():
    tool = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "cli", "tillora-logo")
    with tempfile.TemporaryDirectory() as tmp:
        photo = os.path.join(tmp, "photo.bmp")
        write_bmp(photo, W, H, pixel)
        for name, extra in (("threshold", []), ("dithered", ["--dither", "fs"])):
            logo = os.path.join(tmp, name + ".rsc")
            subprocess.run([tool, "convert", photo, "-o", logo] + extra, check=True,
                           stdout=subprocess.DEVNULL)
            subprocess.run([tool, "show", logo, "-o", os.path.join(ROOT, "docs", "photo-" + name + ".png")],
                           check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
