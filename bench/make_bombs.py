#!/usr/bin/env python3
"""Writes small picture files that claim large pictures, for bench/bombs.sh.

  make_bombs.py FOLDER [big]

Each file is a valid start of its format whose header promises far more than
the file holds or than a logo needs. With "big" it also writes a real
12000 x 9000 PNG (a smooth pattern, every row decoded).
"""
import struct
import sys
import zlib
from pathlib import Path


def bmp(width, height, bits, table, data, compression=0, size_image=0):
    head = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, size_image,
                       2835, 2835, len(table), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in table)
    body = head + colours + data
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + 40 + len(colours)) + body


def png(width, height, bit_depth, colour_type, rows):
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload +
                struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    packer = zlib.compressobj(9)
    idat = b"".join(packer.compress(row) for row in rows) + packer.flush()
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    bw = [(0, 0, 0), (255, 255, 255)]
    wb = [(255, 255, 255), (0, 0, 0)]
    files = {
        # 118 bytes: one row of 2,147,483,647 dots, 56 bytes of them given.
        "wide-1bit.bmp": bmp(2147483647, 1, 1, bw, b"\x55" * 56),
        # 126 bytes: 9000 x 9000 true colour, 72 bytes given.
        "square-24bit.bmp": bmp(9000, 9000, 24, [], b"\x80" * 72),
        # 126 bytes: 65,535 x 32,767 at 1 bit (the raster cap), white where no byte is given.
        "huge-1bit.bmp": bmp(65535, 32767, 1, wb, b"\xAA" * 64),
        # About 1 KB of 8-bit run-length data for 8192 x 8192: one run, then the end.
        "rle8-1k.bmp": bmp(8192, 8192, 8, [(k, k, k) for k in range(256)],
                           b"\xFF\x07\x00\x00\xFF\x08\x00\x01", compression=1),
    }
    # 35 bytes: an 8800 x 8800 screen with a 1 x 1 frame.
    files["screen-35.gif"] = (b"GIF89a" + struct.pack("<HHBBB", 8800, 8800, 0x80, 0, 0) +
                              b"\x00\x00\x00\xff\xff\xff" +
                              b"\x2c" + struct.pack("<HHHHB", 0, 0, 1, 1, 0) +
                              b"\x02\x02\x44\x01\x00\x3b")
    # 9000 x 9000 at 1 bit, white: about 10 KB (deflate packs at most 1032 bytes into one).
    files["white-1bit-9000.png"] = png(9000, 9000, 1, 0, (b"\x00" + b"\xff" * 1125 for _ in range(9000)))
    if len(sys.argv) > 2 and sys.argv[2] == "big":
        # 12000 x 9000 true colour: diagonal bands, so every row differs.
        w, h = 12000, 9000
        base = bytes((x * 7) & 0xFF for x in range(3 * w + 3 * 256))
        files["big-12000x9000.png"] = png(w, h, 8, 2,
                                          (b"\x00" + base[3 * (y % 256):3 * (y % 256) + 3 * w] for y in range(h)))
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
