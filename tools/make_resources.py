#!/usr/bin/env python3
"""Draws the installer's cursor and icon and writes them as .cur / .ico files.

The two pictures are 32 x 32 pixel art with a shared 16-colour palette, kept
below as character maps (one character per pixel, '.' = transparent). The
output files use the classic layout that resource compilers expect:

    ICONDIR (reserved 0, type 1 = icon / 2 = cursor, count 1)
    one ICONDIRENTRY (for cursors the planes / bit-count words hold the hot spot)
    BITMAPINFOHEADER (height doubled: XOR bitmap + AND mask), 16 RGBQUADs,
    XOR bitmap 4 bpp bottom-up, AND mask 1 bpp bottom-up, rows padded to 4 bytes.

Usage: make_resources.py [output-directory]   (default: src/res next to tools/)
"""

import os
import struct
import sys

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

# The executable's icon: a monitor showing a crescent moon over hills.
SETUP_ICON = [
    "................................",
    "................................",
    "................................",
    "..KKKKKKKKKKKKKKKKKKKKKKKKKKKK..",
    ".KEEEEEEEEEEEEEEEEEEEEEEEEEEEEK.",
    ".KEKKKKKKKKKKKKKKKKKKKKKKKKKKDK.",
    ".KEKNNNNNNNNNNNNNNNNNNNNNNNNKDK.",
    ".KEKNNNNNNNNLNNNNNNYYYNNNNNNKDK.",
    ".KEKNNNWNNNNNNNNNYYYYNNNNNNNKDK.",
    ".KEKNNNNNNNNNNNNYYYONNNNWNNNKDK.",
    ".KEKBNNNBNNNBNNNYYYOBNNNBNNNKDK.",
    ".KEKNBNBNBNBNWNBYYYONBNBNBNBKDK.",
    ".KEKNLBBNBBBNBBBYYYONBLBNBBBKDK.",
    ".KEKBBBBBBBBBBBBBYYYYBBBBBLBKDK.",
    ".KEKBBBBBLBBBBBBBBBYYYBBBBBBKDK.",
    ".KEKBBSBBBSBBBSBBBSBBBSBBBSBKDK.",
    ".KEKSBSPPPPPSBSBSBSBSBSBSBSBKDK.",
    ".KEKPPPPPPPPPPPSSSBSSSBPPPPPKDK.",
    ".KEKPPPPPPPPPPPPPTTTTTPPPPPPKDK.",
    ".KEKPPPPPPPPPPPTTHHHHHTTPPPPKDK.",
    ".KEKPPPPPPTTTTTHHHHHHHHHTTTTKDK.",
    ".KEKTTTTTTHHHHHHHHHHHHHHHHHHKDK.",
    ".KEKKKKKKKKKKKKKKKKKKKKKKKKKKDK.",
    ".KEGGGGGGGGGGGGGGGGGGGGGGGVGGDK.",
    ".KEDDDDDDDDDDDDDDDDDDDDDDDDDDDK.",
    "..KKKKKKKKKKKGGGGGGKKKKKKKKKKK..",
    "............KGGGGGGK............",
    ".........KKKKKKKKKKKKKK.........",
    "........KEEEEEEEEEEEEEEK........",
    "........KDDDDDDDDDDDDDDK........",
    "........KKKKKKKKKKKKKKKK........",
    "................................",
]

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


def check_map(name, rows):
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        raise ValueError(f"{name}: the map must be {SIZE} x {SIZE} characters")
    unknown = {ch for r in rows for ch in r} - PALETTE.keys()
    if unknown:
        raise ValueError(f"{name}: characters without a palette entry: {sorted(unknown)}")


def image_bits(rows):
    """BITMAPINFOHEADER + palette + XOR bitmap + AND mask of one 32x32 4-bpp image."""
    xor_stride = ((SIZE * 4 + 31) // 32) * 4
    and_stride = ((SIZE + 31) // 32) * 4
    xor_data = bytearray()
    and_data = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, ch in enumerate(row):
            index = PALETTE[ch][0]
            line[x // 2] |= index << 4 if x % 2 == 0 else index
            if ch == ".":
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_data += line
        and_data += mask
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        SIZE,  # biWidth
        SIZE * 2,  # biHeight: XOR bitmap and AND mask
        1,  # biPlanes
        4,  # biBitCount
        0,  # biCompression = BI_RGB
        len(xor_data) + len(and_data),  # biSizeImage
        0,
        0,
        16,  # biClrUsed
        0,
    )
    colours = [None] * 16
    for index, rgb in PALETTE.values():
        colours[index] = rgb
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    return header + palette + bytes(xor_data) + bytes(and_data)


def icon_file(rows, cursor_hotspot=None):
    """A one-image .ico file, or a .cur file when a hot spot is given."""
    bits = image_bits(rows)
    if cursor_hotspot is None:
        kind, word1, word2 = 1, 1, 4  # planes, bits per pixel
    else:
        kind, (word1, word2) = 2, cursor_hotspot
    directory = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, word1, word2, len(bits), 6 + 16)
    return directory + entry + bits


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "res")
    out_dir = os.path.normpath(out_dir)
    check_map("SETUP_ICON", SETUP_ICON)
    check_map("HINT_CURSOR", HINT_CURSOR)
    x, y = HINT_HOTSPOT
    if HINT_CURSOR[y][x] == ".":
        raise ValueError("the cursor's hot spot lies on a transparent pixel")
    os.makedirs(out_dir, exist_ok=True)
    outputs = {
        "setup_ico.ico": icon_file(SETUP_ICON),
        "hint_cur.cur": icon_file(HINT_CURSOR, HINT_HOTSPOT),
    }
    for name, data in outputs.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print(f"{os.path.join(out_dir, name)}: {len(data)} bytes")


if __name__ == "__main__":
    main()
