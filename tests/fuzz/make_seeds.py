#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs: the carried picture and payload
stream with the sizes the installer uses, and hand-made edge cases.

    make_seeds.py <picture.rld> <Velmora.scr> <corpus dir>
"""
import os
import struct
import sys
import zlib


def capacity(value):
    return struct.pack("<I", value)[:3]


def count(value, size=1):
    if size == 1:
        return bytes([value << 1])
    if size == 2:
        return struct.pack("<H", value << 2 | 1)
    return struct.pack("<I", value << 3 | 3)


def main():
    picture_path, saver_path, corpus = sys.argv[1:4]
    picture = open(picture_path, "rb").read()
    saver = open(saver_path, "rb").read()
    stream = picture[16:]
    rld = {
        # The target reduces the capacity modulo 65,601: these give the
        # largest room, and room that ends inside a pixel.
        "picture": capacity(65600) + stream,
        "picture-short-room": capacity(65599) + stream,
        "picture-cut": capacity(65600) + stream[: len(stream) // 2],
        "fill-four-byte-count": capacity(403) + b"\x01" + count(100000, 4) + b"\x5a\x00\x00\x00\x00",
        "literal-two-byte-count": capacity(1024) + b"\x00" + count(200, 2) + bytes(range(90)),
        "empty-literal-between-fills": capacity(64)
        + b"\x01" + count(3) + b"\x01\x02\x03" + count(0) + count(2) + b"\x04\x05\x06\x00\x00",
        "fill-count-zero": capacity(8) + b"\x01" + count(0) + b"\x06\x06\x06" + count(1) + b"\x0c\x0b\x0a",
        "cut-count": capacity(16) + b"\x01" + count(2) + b"\x07\x07\x07" + struct.pack("<H", 128 << 2 | 1)[:1],
        "no-room": capacity(0) + b"\x01\x12\x5a\x7b\xef\x00\x00",
    }
    payload = zlib.compress(saver, 6)
    small = zlib.compress(b"Velmora " * 64, 9)
    inflate = {
        "carried-stream": capacity(len(saver)) + b"\x00" + payload,
        "carried-stream-one-short": capacity(len(saver) - 1) + b"\x00" + payload,
        "carried-stream-cut": capacity(len(saver)) + b"\x00" + payload[:-5],
        "no-buffer": capacity(len(saver)) + b"\x01" + payload[:64],
        "small-exact": capacity(512) + b"\x00" + small,
        "small-corrupt": capacity(512) + b"\x00" + small[:4] + b"\xff" + small[5:],
        "empty-file": capacity(0) + b"\x00" + zlib.compress(b""),
        "stored-block": capacity(16) + b"\x00" + zlib.compress(b"0123456789abcdef", 0),
    }
    # A 4 x 3 picture with a run, a literal and a run over a row's end.
    pixels = bytes([9, 9, 9] * 5 + [1, 2, 3, 4, 5, 6] + [7, 7, 7] * 5)
    encode = {
        "ppm-4x3": b"\x00P6\n# comment\n4 3\n255\n" + pixels,
        "ppm-runs-of-two": b"\x02P6 4 3 255\n" + pixels,
        "raw-pixels": b"\x01" + pixels,
        "ppm-bad-maxval": b"\x00P6 1 1 65535\n\x00\x00\x00",
    }
    for folder, seeds in (("rld_decode", rld), ("payload_inflate", inflate), ("rld_encode", encode)):
        os.makedirs(os.path.join(corpus, folder), exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(corpus, folder, "seed-" + name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
