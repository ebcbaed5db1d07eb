"""Reads the installer's RLD picture (as written by `rld_encode --raw`) on the host, so
that the benchmarks know which colour the installer paints where.

RLD = 16-byte header (width at bytes 6-7, height at 8-9, little-endian), then the
pixel stream: a start byte whose bit 0 says whether the first run is a fill run, then
runs alternating between literal and fill, each opened by a 1-, 2- or 4-byte count
(tag in the low bits of the first byte); two zero bytes where a count is due end it.
Stored pixels are 3 bytes: blue, green, red.
"""

HEADER_SIZE = 16


def _read_count(data, at):
    """(count, next position), or None at the end marker or when the data runs out."""
    if len(data) - at < 2 or (data[at] | data[at + 1]) == 0:
        return None
    first = data[at]
    if first & 1 == 0:
        return first >> 1, at + 1
    if first & 2 == 0:
        return int.from_bytes(data[at : at + 2], "little") >> 2, at + 2
    if len(data) - at < 4:
        return None
    return int.from_bytes(data[at : at + 4], "little") >> 3, at + 4


class RldPicture:
    """A decoded RLD picture: width, height and rows of (r, g, b) through pixel()."""

    def __init__(self, width, height, bgr):
        self.width = width
        self.height = height
        self.bgr = bgr  # width x height pixels, 3 bytes each: blue, green, red

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise ValueError(f"({x}, {y}) lies outside the {self.width}x{self.height} picture")
        at = 3 * (y * self.width + x)
        blue, green, red = self.bgr[at : at + 3]
        return (red, green, blue)


def decode_rld(data):
    """Decodes a whole RLD file; fails unless it gives exactly width x height pixels."""
    if len(data) < HEADER_SIZE + 1 or data[:3] != b"RLD":
        raise ValueError("not an RLD picture")
    width = int.from_bytes(data[6:8], "little")
    height = int.from_bytes(data[8:10], "little")
    stream = data[HEADER_SIZE:]
    wanted = 3 * width * height
    out = bytearray()
    fill = stream[0] & 1 == 1
    at = 1
    while True:
        counted = _read_count(stream, at)
        if counted is None:
            break
        count, at = counted
        if fill:
            out += stream[at : at + 3] * count
            at += 3
        else:
            out += stream[at : at + 3 * count]
            at += 3 * count
        if len(out) > wanted or at > len(stream):
            raise ValueError("the pixel stream runs past the picture or its own end")
        fill = not fill
    if len(out) != wanted:
        raise ValueError(f"the pixel stream gives {len(out) // 3} pixels, "
                         f"not {width} x {height}")
    return RldPicture(width, height, bytes(out))


def read_ppm_rgb(path):
    """(width, height, RGB bytes) of a binary PPM with maxval 255."""
    with open(path, "rb") as f:
        blob = f.read()
    fields = []
    at = 0
    while len(fields) < 4:
        while blob[at : at + 1].isspace():
            at += 1
        if blob[at : at + 1] == b"#":
            at = blob.index(b"\n", at) + 1
            continue
        start = at
        while not blob[at : at + 1].isspace():
            at += 1
        fields.append(blob[start:at])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(f"{path}: not a binary PPM with 8-bit samples")
    width, height = int(fields[1]), int(fields[2])
    return width, height, blob[at + 1 : at + 1 + 3 * width * height]


def matches_ppm(picture, ppm_path):
    """True when the decoded picture is, pixel for pixel, the PPM it was encoded from."""
    width, height, rgb = read_ppm_rgb(ppm_path)
    if (width, height) != (picture.width, picture.height):
        return False
    bgr = bytearray(len(rgb))
    bgr[0::3] = rgb[2::3]
    bgr[1::3] = rgb[1::3]
    bgr[2::3] = rgb[0::3]
    return bytes(bgr) == picture.bgr
