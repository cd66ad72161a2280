#!/usr/bin/env python3
"""Draws the editor's icons: a mosaic of tiles over a picture, with a dashed
selection frame. Writes murkel.ico (32x32 16-colour + 48x48 true-colour) and
murkel_small.ico (32x32 16-colour). Run: python3 make_icons.py [outdir]"""
import struct
import sys
from pathlib import Path

# The 16 standard colours of a 4-bit icon, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Tile colours (palette indices) of the 4 x 4 mosaic, row by row.
TILES = [
    [14, 6, 12, 4],
    [11, 15, 14, 12],
    [10, 11, 9, 1],
    [2, 3, 13, 5],
]


def picture(size):
    """Pixels of the icon as palette indices, top row first; None = transparent."""
    cell = size // 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1):
                # Dashed selection frame round the mosaic.
                row.append(0 if ((x + y) // 3) % 2 == 0 else 15)
            elif x % cell == 0 or y % cell == 0:
                row.append(8)  # grout between the tiles
            else:
                row.append(TILES[y // cell][x // cell])
        rows.append(row)
    return rows


def and_mask(size):
    stride = ((size + 31) // 32) * 4
    return bytes(stride * size)  # every pixel opaque


def image_4bpp(size):
    rows = picture(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    stride = ((size * 4 + 31) // 32) * 4
    bits = b''
    for row in reversed(rows):
        packed = bytearray(stride)
        for x, index in enumerate(row):
            packed[x // 2] |= index << (4 if x % 2 == 0 else 0)
        bits += bytes(packed)
    return header + palette + bits + and_mask(size), 16, 4


def image_32bpp(size):
    rows = picture(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    bits = b''
    for y, row in enumerate(reversed(rows)):
        for x, index in enumerate(row):
            r, g, b = PALETTE[index]
            # A soft shade across each tile gives the true-colour image depth.
            shade = 1.0 - 0.25 * ((x % (size // 4)) + (y % (size // 4))) / (size // 2)
            bits += struct.pack('BBBB', int(b * shade), int(g * shade), int(r * shade), 255)
    return header + bits + and_mask(size), 0, 32


def write_ico(path, images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, (blob, colours, bpp) in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    Path(path).write_bytes(out + b''.join(blobs))


def main():
    outdir = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent)
    write_ico(outdir / 'murkel.ico', [(32, image_4bpp(32)), (48, image_32bpp(48))])
    write_ico(outdir / 'murkel_small.ico', [(32, image_4bpp(32))])


if __name__ == '__main__':
    main()
