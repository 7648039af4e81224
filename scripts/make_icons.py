#!/usr/bin/env python3
"""Writes the application icon for the desktop's icon theme as PNG files
(16, 32, 48 and 256 pixels) into packaging/icons, from the same artwork as
the icon images in resources/glyphs (make_glyphs.icon_image). Run once; the
results are committed, so a build needs no Python."""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_glyphs import icon_image  # noqa: E402


def write_png(path, size, pixel):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(size)) for y in range(size))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def scaled(pixel, factor):
    """The artwork drawn small and enlarged dot by dot: at 256 pixels the
    one-pixel lines of the drawing would be too thin to see."""
    return lambda x, y: pixel(x // factor, y // factor)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "icons")
    os.makedirs(out, exist_ok=True)
    for size in (16, 32, 48):
        write_png(os.path.join(out, "%d.png" % size), size, icon_image(size))
    write_png(os.path.join(out, "256.png"), 256, scaled(icon_image(64), 4))


if __name__ == "__main__":
    main()
