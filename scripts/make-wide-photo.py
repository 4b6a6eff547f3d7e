#!/usr/bin/env python3
"""Writes a 768 x 512 24-bit photograph for whole-process timings.

It is the 639 x 427 rocket photograph of tests/data/images scaled by nearest
neighbour (source pixel floor(x * 639 / 768), floor(y * 427 / 512)), so the
same input always gives the same bytes. Usage:
    scripts/make-wide-photo.py OUT.bmp
"""
import struct
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent / "tests/data/images/a_rocket_639x427_24.bmp"
WIDTH, HEIGHT = 768, 512


def read_bmp24(path):
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    # Bottom-up rows: row 0 of the list is the top of the picture.
    rows = [data[offset + (height - 1 - y) * stride:][:width * 3] for y in range(height)]
    return width, height, rows


def write_bmp24(path, rows):
    stride = WIDTH * 3  # 768 * 3 is a multiple of 4: no padding
    pixels = b"".join(reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, stride * HEIGHT, 2835, 2835, 0, 0)
    path.write_bytes(header + info + pixels)


def main():
    width, height, rows = read_bmp24(SOURCE)
    scaled = []
    for y in range(HEIGHT):
        src = rows[y * height // HEIGHT]
        scaled.append(b"".join(src[3 * (x * width // WIDTH):][:3] for x in range(WIDTH)))
    write_bmp24(Path(sys.argv[1]), scaled)


if __name__ == "__main__":
    main()
