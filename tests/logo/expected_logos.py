#!/usr/bin/env python3
"""Works out the expected logo files of tests/ExpectedLogos.h.

This is the origin of that table. It shares no code with the converter: the
printer limits, the fitting of the logo size, the dark-dot rule and the file
layout are written out again here, step by step, and checked against the
worked example of the file format and the sample sizes of the fitting rule
before anything is written. Run it again only when a picture or a threshold
set is added:

    python3 tests/logo/expected_logos.py > tests/ExpectedLogos.h
"""

import hashlib
import sys

# Name, largest width, largest height, largest area.
PRINTERS = [
    ("Epson TM-T88III (NVRam)", 600, 600, 999999),
    ("Epson TM-T88I/II (SRam)", 480, 384, 98304),
    ("Star TSP-700", 600, 600, 999999),
    ("IBM TF6", 568, 2040, 522560),
]

# Red, green, blue; uneven so that a swapped or misread threshold shows.
THRESHOLD_SETS = [(100, 80, 60), (30, 200, 140)]

# Every channel value on and just past each threshold used above, one channel
# at a time with the others white, so that each channel alone decides; then
# white, black and two mixed colours.
EDGES = [30, 31, 60, 61, 80, 81, 100, 101, 140, 141, 200, 201]
PALETTE = []
for channel in range(3):
    for v in EDGES:
        rgb = [255, 255, 255]
        rgb[channel] = v
        PALETTE.append(tuple(rgb))
PALETTE += [(255, 255, 255), (0, 0, 0), (120, 90, 70), (31, 201, 141)]

# (name, width, height): sizes at and just past each printer's width and
# height limits, and three that meet the area limits (two lose a part row).
PICTURES = [
    ("small", 5, 3),
    ("w479", 479, 9),   # 480: printer 1 width exactly
    ("w480", 480, 9),   # 488: one step past printer 1 width
    ("w567", 567, 9),   # 568: printer 3 width exactly
    ("w599", 599, 9),   # 600: printers 0 and 2 width exactly
    ("w600", 600, 9),   # 608: past every width
    ("h383", 9, 383),   # 384: printer 1 height exactly
    ("h599", 9, 599),   # 600: printers 0 and 2 height exactly
    ("h2039", 9, 2039), # 2040: printer 3 height exactly
    ("h2040", 9, 2040), # 2048: past every height
    ("a420x300", 420, 300),  # printer 1: 424 x 304 cut by area to 231 rows, 224
    ("a343x1600", 343, 1600),  # printer 3: 344 x 1608 cut to 1519 rows, 1512
    ("a567x919", 567, 919),  # printer 3: 568 x 920, area exactly the limit
]


def colour(x, y):
    """The test picture's pixel (x, y) as (red, green, blue)."""
    return PALETTE[(x * 7 + y * 13) % len(PALETTE)]


def geometry(w, h, printer):
    """Logo width and height in dots, step by step."""
    _, max_w, max_h, max_area = PRINTERS[printer]
    width, height = w, h
    # One step past the next multiple of 8.
    width = width + 8 - width % 8
    height = height + 8 - height % 8
    # Clamp to the printer.
    if max_w < width:
        width = max_w
    if max_h < height:
        height = max_h
    # Fewest whole rows that bring the area within the limit.
    if max_area < width * height:
        excess = width * height - max_area
        height = height - excess // width - (1 if excess % width else 0)
    # Down to multiples of 8.
    return width - width % 8, height - height % 8


def is_dark(rgb, thresholds):
    r, g, b = rgb
    tr, tg, tb = thresholds
    return r <= tr or g <= tg or b <= tb


def header(printer, width, height):
    x, y = width // 8, height // 8
    if printer == 0:
        return [0x1C, 0x71, 0x01, x % 256, x // 256 % 256, y % 256, y // 256 % 256]
    if printer == 1:
        return [0x1D, 0x2A, x % 256, y % 256]
    if printer == 2:
        return [0x1B, 0x1C, 0x71, 0x01, x % 256, x // 256 % 256, y % 256, y // 256 % 256]
    return [0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01, x % 256, y % 256]


def logo_file(printer, width, height, black):
    """The file for a width x height logo whose dot (x, y) is black(x, y)."""
    head = header(printer, width, height)
    length = (width * height // 8 + len(head)) % 65536
    out = [length % 256, length // 256] + head
    if printer == 3:  # row by row, eight dots across to a byte
        for y in range(height):
            for band in range(width // 8):
                byte = 0
                for i in range(8):
                    if black(8 * band + i, y):
                        byte |= 0x80 >> i
                out.append(byte)
    else:  # column by column, eight dots down to a byte
        for x in range(width):
            for band in range(height // 8):
                byte = 0
                for i in range(8):
                    if black(x, 8 * band + i):
                        byte |= 0x80 >> i
                out.append(byte)
    return bytes(out)


def converted_dots(w, h, thresholds, geo):
    """Which dots of the logo come out black for a w x h picture. Dots beyond
    the picture (the margin the fitting adds) stay clear."""
    width, height = geo
    dots = set()
    for y in range(min(h, height)):
        for x in range(min(w, width)):
            if is_dark(colour(x, y), thresholds):
                dots.add((x, y))
    return lambda x, y: (x, y) in dots


def check_worked_example():
    def black(x, y):
        return y == 0 or x == y or x == 15

    expected = [
        "17 00 1C 71 01 02 00 01 00 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF",
        "14 00 1D 2A 02 01 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF",
        "18 00 1B 1C 71 01 02 00 01 00 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF",
        "18 00 1B 23 01 1D 2A 01 02 01 FF FF 40 01 20 01 10 01 08 01 04 01 02 01 01 01",
    ]
    for printer in range(4):
        got = logo_file(printer, 16, 8, black).hex(" ").upper()
        assert got == expected[printer], (printer, got)
    # Blank start-up files and the little-endian fields of the largest logos.
    assert logo_file(0, 0, 0, black).hex(" ") == "07 00 1c 71 01 00 00 00 00"
    assert logo_file(3, 0, 0, black).hex(" ") == "08 00 1b 23 01 1d 2a 01 00 00"
    assert logo_file(0, 600, 600, lambda x, y: False)[:9].hex(" ") == "cf af 1c 71 01 4b 00 4b 00"
    assert len(logo_file(0, 600, 600, lambda x, y: False)) == 45009
    assert logo_file(3, 568, 920, lambda x, y: False)[:10].hex(" ") == "30 ff 1b 23 01 1d 2a 01 47 73"


def check_geometry():
    # Source size -> (printers 0 and 2, printer 1, printer 3).
    samples = {
        (0, 0): ((8, 8), (8, 8), (8, 8)),
        (8, 8): ((16, 16), (16, 16), (16, 16)),
        (100, 50): ((104, 56), (104, 56), (104, 56)),
        (472, 376): ((480, 384), (480, 200), (480, 384)),
        (480, 204): ((488, 208), (480, 200), (488, 208)),
        (567, 919): ((568, 600), (480, 200), (568, 920)),
        (640, 480): ((600, 488), (480, 200), (568, 488)),
        (1000, 1000): ((600, 600), (480, 200), (568, 920)),
        (300, 3000): ((304, 600), (304, 320), (304, 1712)),
        (16, 3000): ((24, 600), (24, 384), (24, 2040)),
    }
    for (w, h), (p02, p1, p3) in samples.items():
        assert geometry(w, h, 0) == p02 and geometry(w, h, 2) == p02, (w, h)
        assert geometry(w, h, 1) == p1, (w, h, geometry(w, h, 1))
        assert geometry(w, h, 3) == p3, (w, h, geometry(w, h, 3))
    # The two part-row cuts: a row more would survive the rounding to 8.
    assert geometry(420, 300, 1) == (424, 224) and 98304 // 424 == 231
    assert geometry(343, 1600, 3) == (344, 1512) and 522560 // 344 == 1519


def main():
    check_worked_example()
    check_geometry()
    # The palette really lets each channel decide alone.
    for t in THRESHOLD_SETS:
        for channel in range(3):
            on = [255, 255, 255]
            on[channel] = t[channel]
            past = list(on)
            past[channel] += 1
            assert is_dark(tuple(on), t) and not is_dark(tuple(past), t)
            assert tuple(on) in PALETTE and tuple(past) in PALETTE

    rows = []
    for name, w, h in PICTURES:
        for printer in range(4):
            geo = geometry(w, h, printer)
            for set_index, t in enumerate(THRESHOLD_SETS):
                data = logo_file(printer, geo[0], geo[1], converted_dots(w, h, t, geo))
                small = data.hex(" ").upper() if len(data) <= 40 else ""
                rows.append((name, printer, set_index, geo, len(data),
                             hashlib.sha256(data).hexdigest(), small))

    out = sys.stdout
    out.write("// Made by tests/logo/expected_logos.py, which works the files out on its\n")
    out.write("// own; do not edit by hand.\n")
    out.write("#pragma once\n\n#include <cstddef>\n#include <cstdint>\n\n")
    out.write("namespace tlc::test {\n\n")
    out.write("struct ExpectedThresholds {\n    int Red, Green, Blue;\n};\n\n")
    out.write("inline constexpr ExpectedThresholds kExpectedThresholdSets[] = {\n")
    for t in THRESHOLD_SETS:
        out.write("    {%d, %d, %d},\n" % t)
    out.write("};\n\n")
    out.write("// The colours of the test pictures, as 0xRRGGBB.\n")
    out.write("inline constexpr std::uint32_t kExpectedPalette[] = {\n")
    for i in range(0, len(PALETTE), 6):
        out.write("    " + " ".join("0x%02X%02X%02X," % c for c in PALETTE[i:i + 6]) + "\n")
    out.write("};\n\n")
    out.write("// Pixel (x, y) of every test picture, as 0xRRGGBB.\n")
    out.write("inline std::uint32_t ExpectedPictureRgb(int x, int y) {\n")
    out.write("    const int n = static_cast<int>(sizeof kExpectedPalette / sizeof kExpectedPalette[0]);\n")
    out.write("    return kExpectedPalette[(x * 7 + y * 13) % n];\n}\n\n")
    out.write("struct ExpectedPicture {\n    const char* Name;\n    int Width, Height;\n};\n\n")
    out.write("inline constexpr ExpectedPicture kExpectedPictures[] = {\n")
    for name, w, h in PICTURES:
        out.write('    {"%s", %d, %d},\n' % (name, w, h))
    out.write("};\n\n")
    out.write("// One logo file: picture, printer, threshold set, the logo's size in dots,\n")
    out.write("// the file's size and SHA-256, and its bytes in hex when it is short.\n")
    out.write("struct ExpectedLogo {\n    const char* Picture;\n    int Printer;\n    int ThresholdSet;\n")
    out.write("    int Width, Height;\n    std::size_t Size;\n    const char* Sha256;\n    const char* Hex;\n};\n\n")
    out.write("inline constexpr ExpectedLogo kExpectedLogos[] = {\n")
    for name, printer, set_index, geo, size, digest, small in rows:
        out.write('    {"%s", %d, %d, %d, %d, %d,\n     "%s",\n     "%s"},\n'
                  % (name, printer, set_index, geo[0], geo[1], size, digest, small))
    out.write("};\n\n} // namespace tlc::test\n")


if __name__ == "__main__":
    main()
