#!/usr/bin/env python3
"""Renders the application icon from its SVG sources in resources/icons into
PNG files of 16, 24, 32, 48, 64, 128 and 256 pixels beside them, for the
desktop's icon theme and for the window's own icon (compiled in by
resources/CMakeLists.txt). 16 and 24 pixels come from their own simplified
drawings (16.svg, 24.svg), whose edges sit on whole pixels; the larger sizes
from tillora-logo-converter.svg. The same PNGs, packed unchanged into one icon
file (tillora-logo.ico), are the Windows programs' icon resource.

Needs rsvg-convert (Debian: librsvg2-bin). Run after changing a drawing; the
PNGs are committed, so a build needs neither this script nor the tool."""
import os
import struct
import subprocess
import sys

SIZES = (16, 24, 32, 48, 64, 128, 256)
HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")


def source_for(size):
    small = os.path.join(HERE, "%d.svg" % size)
    return small if os.path.exists(small) else os.path.join(HERE, "tillora-logo-converter.svg")


def png_header(path):
    """Width, height, bit depth and colour type from the IHDR chunk."""
    with open(path, "rb") as f:
        head = f.read(29)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise ValueError("%s is not a PNG file" % path)
    return struct.unpack(">IIBB", head[16:26])


def write_ico(sizes, out):
    """An icon directory whose images are the PNG files themselves, as
    Windows takes them since Vista (a width or height of 256 is written 0)."""
    images = []
    for size in sizes:
        with open(os.path.join(HERE, "%d.png" % size), "rb") as f:
            images.append((size, f.read()))
    offset = 6 + 16 * len(images)
    head = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    for size, data in images:
        edge = size % 256
        entries += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(head + entries + b"".join(data for _, data in images))


def main():
    for size in SIZES:
        out = os.path.join(HERE, "%d.png" % size)
        subprocess.run(["rsvg-convert", "--width", str(size), "--height", str(size),
                        "--output", out, source_for(size)], check=True)
        width, height, depth, colour = png_header(out)
        # Colour type 6 is RGBA: the tile's rounded corners must stay clear.
        if (width, height, depth, colour) != (size, size, 8, 6):
            sys.exit("%s: %d x %d, depth %d, colour type %d" % (out, width, height, depth, colour))
        print(out)
    ico = os.path.join(HERE, "tillora-logo.ico")
    write_ico(SIZES, ico)
    print(ico)


if __name__ == "__main__":
    main()
