#!/usr/bin/env python3
"""Draws the installer's cursor and icon and writes them as .cur / .ico files.

The cursor is 32 x 32 pixel art in a 16-colour palette, kept below as a
character map (one character per pixel, '.' = transparent). The icon is one
drawing in shapes on a 32-unit square, painted in that palette at every size
the icon holds: 16, 24, 32 and 48 pixels in 32 bits with alpha (the edges
smoothed by sampling each pixel many times), 256 pixels as a PNG, and 32 and
16 pixels in the 16 colours themselves for Windows 95 and NT 4.0, each pixel
the colour most of its samples have. The same script gives the same bytes.

    ICONDIR (reserved 0, type 1 = icon / 2 = cursor, image count)
    ICONDIRENTRY per image (for cursors the planes / bit-count words hold the hot spot)
    each image: BITMAPINFOHEADER (height doubled: XOR bitmap + AND mask), 16
    RGBQUADs for 4 bits a pixel, XOR bitmap bottom-up, AND mask 1 bpp bottom-up,
    rows padded to 4 bytes; or a PNG file.

Usage: make_resources.py [output-directory]   (default: the current directory)
"""

import math
import os
import struct
import sys
import zlib

SIZE = 32

# Shared palette: map character -> (index, (red, green, blue)).
# Index 0 is the colour stored under transparent pixels (black, so that the
# XOR step leaves the screen unchanged where the AND mask keeps it).
PALETTE = {
    ".": (0, (0, 0, 0)),  # transparent
    "K": (1, (16, 16, 40)),  # outline, deep navy
    "N": (2, (24, 32, 88)),  # night sky
    "B": (3, (44, 62, 140)),  # evening blue
    "S": (4, (78, 104, 186)),  # sky near the horizon
    "V": (5, (150, 130, 210)),  # lavender
    "L": (6, (206, 196, 240)),  # pale lavender
    "W": (7, (255, 255, 255)),  # white
    "Y": (8, (250, 238, 180)),  # moon
    "O": (9, (232, 196, 96)),  # moon shade / gold sparkle
    "H": (10, (22, 52, 72)),  # near hill
    "T": (11, (40, 86, 104)),  # hill crest
    "G": (12, (168, 170, 190)),  # case grey
    "D": (13, (100, 102, 124)),  # case shadow
    "E": (14, (222, 224, 236)),  # case highlight
    "P": (15, (72, 60, 130)),  # far hills, dusk purple
}

# The pointer shown over the menu buttons: an arrow with a small sparkle.
# Its tip, the hot spot, is the pixel at column 1, row 4.
HINT_CURSOR = [
    "................................",
    "................................",
    "................................",
    "................................",
    ".K..............K...............",
    ".KK............KYK..............",
    ".KWK...........KYK..............",
    ".KWWK........KKYWYKK............",
    ".KWWWK......KYYWWWYYK...........",
    ".KWWWLK......KKYWYKK............",
    ".KWWWWLK.......KYK..............",
    ".KWWWWWLK......KYK..............",
    ".KWWWWWWLK......K...............",
    ".KWWWWWWWLK.....................",
    ".KWWWWWWWWLK....................",
    ".KWWWWWWKKKKK...................",
    ".KWWLKWWK.......................",
    ".KWLKKWWLK......................",
    ".KWK..KWWK......................",
    ".KK...KWWLK.....................",
    ".K.....KWWK.....................",
    ".......KWLK.....................",
    "........KK......................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
]
HINT_HOTSPOT = (1, 4)


# The icon: a monitor showing a crescent moon over hills. Shapes on a 32-unit
# square, painted in this order, each a test of a point and a palette key.


def box(x0, y0, x1, y1, r=0.0):
    """A rectangle with corners rounded by r."""
    def inside(x, y):
        dx = max(x0 + r - x, 0, x - x1 + r)
        dy = max(y0 + r - y, 0, y - y1 + r)
        return x0 <= x <= x1 and y0 <= y <= y1 and dx * dx + dy * dy <= r * r
    return inside


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def on_screen(shape):
    return lambda x, y: 4 <= x <= 28 and 6 <= y <= 22 and shape(x, y)


def sky(x, y):
    """Night sky above, evening blue lower, the horizon's blue at the hills."""
    return "N" if y < 10 else "B" if y < 15 else "S"


def far_hills(x, y):
    return y >= 17.2 + 0.9 * math.cos((x - 6) * 0.45)


def near_hill(x, y):
    return y >= 18.3 + 3.4 * ((x - 18.5) / 9) ** 2


def crest(x, y):
    return near_hill(x, y) and not near_hill(x, y - 1.1)


def crescent(x, y):
    return disc(18.6, 10.6, 3.3)(x, y) and not disc(20.6, 9.5, 2.8)(x, y)


def moon_shade(x, y):
    return crescent(x, y) and disc(20.6, 9.5, 3.5)(x, y)


STARS = [(7.5, 8.5, "W"), (12.5, 7.5, "L"), (24.5, 9.5, "W"), (13.5, 11.5, "W"),
         (5.5, 12.5, "L"), (9.5, 14.5, "L"), (26.5, 13.5, "L")]

ICON_SHAPES = (
    [(box(12, 24, 20, 28), "K"), (box(13, 24, 19, 27.5), "G"),  # neck
     (box(8, 27, 24, 31, 1.0), "K"), (box(9, 28, 23, 29), "E"), (box(9, 29, 23, 30), "D"),
     (box(1, 3, 31, 26, 2.0), "K"), (box(2, 4, 30, 25, 1.2), "G"),  # case
     (box(2, 4, 3, 24), "E"), (box(2, 4, 30, 5), "E"), (box(29, 5, 30, 25), "D"),
     (box(2, 24, 30, 25), "D"), (box(3, 5, 29, 23), "K"),  # screen's bezel
     (on_screen(lambda x, y: True), sky)]
    + [(on_screen(disc(x, y, 0.5)), key) for x, y, key in STARS]
    + [(on_screen(crescent), "Y"), (on_screen(moon_shade), "O"), (on_screen(far_hills), "P"),
       (on_screen(near_hill), "H"), (on_screen(crest), "T")])


def icon_key(x, y):
    """The palette key of the drawing at a point, '.' outside it."""
    key = "."
    for shape, colour in ICON_SHAPES:
        if shape(x, y):
            key = colour(x, y) if callable(colour) else colour
    return key


def paint_icon(size, samples):
    """Rows of (red, green, blue, alpha) of the icon at size x size pixels, each
    the mean of samples x samples points spread over the pixel."""
    scale = 32 / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    key = icon_key((px + (sx + 0.5) / samples) * scale,
                                   (py + (sy + 0.5) / samples) * scale)
                    if key != ".":
                        covered += 1
                        for c in range(3):
                            total[c] += PALETTE[key][1][c]
            alpha = round(255 * covered / (samples * samples))
            row.append(tuple(round(t / covered) for t in total) + (alpha,) if covered else
                       (0, 0, 0, 0))
        rows.append(row)
    return rows


def key_icon(size, samples):
    """Rows of palette keys of the icon at size x size pixels: of samples x samples
    points spread over each pixel, the key most of them have."""
    scale = 32 / size
    rows = []
    for py in range(size):
        row = ""
        for px in range(size):
            keys = [icon_key((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
                    for sy in range(samples) for sx in range(samples)]
            row += max(sorted(set(keys)), key=keys.count)
        rows.append(row)
    return rows


def check_map(name, rows):
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        raise ValueError(f"{name}: the map must be {SIZE} x {SIZE} characters")
    unknown = {ch for r in rows for ch in r} - PALETTE.keys()
    if unknown:
        raise ValueError(f"{name}: characters without a palette entry: {sorted(unknown)}")


def stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def bitmap_image(keys=None, pixels=None):
    """BITMAPINFOHEADER, palette (16 colours) or none (32 bits), XOR bitmap and
    AND mask of one square image: palette keys, or (red, green, blue, alpha)."""
    size = len(keys or pixels)
    bits = 4 if keys else 32
    xor_data, and_data = bytearray(), bytearray()
    for y in reversed(range(size)):  # bottom-up
        line, mask = bytearray(stride(size, bits)), bytearray(stride(size, 1))
        for x in range(size):
            if keys:
                index = PALETTE[keys[y][x]][0]
                line[x // 2] |= index << 4 if x % 2 == 0 else index
                clear = keys[y][x] == "."
            else:
                r, g, b, a = pixels[y][x]
                line[4 * x:4 * x + 4] = bytes((b, g, r, a))
                clear = a < 128
            if clear:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_data += line
        and_data += mask
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,  # BI_RGB
                         len(xor_data) + len(and_data), 0, 0, 16 if keys else 0, 0)
    palette = b""
    if keys:
        colours = [None] * 16
        for index, rgb in PALETTE.values():
            colours[index] = rgb
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    return header + palette + bytes(xor_data) + bytes(and_data)


def png_image(pixels):
    """A PNG file of (red, green, blue, alpha) rows, 8 bits a sample."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in pixels)
    size = len(pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(images, cursor_hotspot=None):
    """An .ico file of (size, bits a pixel, image data), or a one-image .cur file
    when a hot spot is given."""
    kind = 1 if cursor_hotspot is None else 2
    directory = struct.pack("<HHH", 0, kind, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, bits, image in images:
        word1, word2 = (1, bits) if cursor_hotspot is None else cursor_hotspot
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0,
                               word1, word2, len(image), offset + len(data))
        data += image
    return directory + entries + data


def setup_icon():
    """256 as PNG, 48 to 16 with alpha, then 32 and 16 in the palette's 16 colours."""
    images = [(256, 32, png_image(paint_icon(256, 2)))]
    images += [(size, 32, bitmap_image(pixels=paint_icon(size, 8))) for size in (48, 32, 24, 16)]
    for size in (32, 16):
        images.append((size, 4, bitmap_image(keys=key_icon(size, 4))))
    return icon_file(images)


def main():
    out_dir = os.path.normpath(sys.argv[1] if len(sys.argv) > 1 else ".")
    check_map("HINT_CURSOR", HINT_CURSOR)
    x, y = HINT_HOTSPOT
    if HINT_CURSOR[y][x] == ".":
        raise ValueError("the cursor's hot spot lies on a transparent pixel")
    os.makedirs(out_dir, exist_ok=True)
    outputs = {
        "setup_ico.ico": setup_icon(),
        "hint_cur.cur": icon_file([(SIZE, 4, bitmap_image(keys=HINT_CURSOR))], HINT_HOTSPOT),
    }
    for name, data in outputs.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
