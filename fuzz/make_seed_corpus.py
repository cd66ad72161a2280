#!/usr/bin/env python3
"""Writes a few tiny bitmap files of different kinds into fuzz/corpus/."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus")
os.makedirs(out, exist_ok=True)


def bmp(header_size, width, height, bits, compression, pixel_data, palette=(), masks=None, core=False):
    entry = 3 if core else 4
    mask_bytes = b"" if masks is None or header_size != 40 else struct.pack("<3I", *masks)
    table = b"".join(bytes([b, g, r]) + (b"" if core else b"\0") for (r, g, b) in palette)
    offset = 14 + header_size + len(mask_bytes) + len(table)
    if core:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        header = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression,
                             len(pixel_data), 0, 0, len(palette), 0)
        if header_size > 40:
            extra = struct.pack("<3I", *(masks or (0, 0, 0)))
            header += extra + b"\0" * (header_size - 40 - len(extra))
    size = offset + len(pixel_data)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, offset) + header + mask_bytes + table + pixel_data


pal2 = [(0, 0, 0), (255, 255, 255)]
pal16 = [(i * 16, 255 - i * 16, i * 7) for i in range(16)]
pal4 = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (9, 8, 7)]
files = {
    "rgb24_3x2.bmp": bmp(40, 3, 2, 24, 0, bytes(range(1, 10)) + b"\0\0\0" + bytes(range(11, 20)) + b"\0\0\0"),
    "rgb24_topdown_2x2.bmp": bmp(40, 2, -2, 24, 0, bytes(range(6)) + b"\0\0" + bytes(range(6, 12)) + b"\0\0"),
    "pal1_9x2.bmp": bmp(40, 9, 2, 1, 0, b"\xa5\x80\0\0\x5a\x00\0\0", pal2),
    "pal4_5x2.bmp": bmp(40, 5, 2, 4, 0, b"\x01\x23\x30\0\x32\x10\x00\0", pal4),
    "pal8_3x2.bmp": bmp(40, 3, 2, 8, 0, b"\x00\x01\x02\0\x03\x02\x01\0", pal4),
    "core8_2x2.bmp": bmp(12, 2, 2, 8, 0, b"\x00\x01\0\0\x02\x03\0\0", pal4, core=True),
    "rgb16_555_2x2.bmp": bmp(40, 2, 2, 16, 0, b"\x00\x7c\xe0\x03\x1f\x00\xff\x7f"),
    "bf16_565_2x2.bmp": bmp(40, 2, 2, 16, 3, b"\x00\xf8\xe0\x07\x1f\x00\xff\xff", masks=(0xF800, 0x07E0, 0x001F)),
    "rgb32_2x1.bmp": bmp(40, 2, 1, 32, 0, b"\x01\x02\x03\x04\x05\x06\x07\x08"),
    "v4_bf32_2x1.bmp": bmp(108, 2, 1, 32, 3, b"\x01\x02\x03\x04\x05\x06\x07\x08",
                           masks=(0x000000FF, 0x0000FF00, 0x00FF0000)),
    "v5_pal8_2x1.bmp": bmp(124, 2, 1, 8, 0, b"\x03\x01\0\0", pal4),
    "rle8_4x3.bmp": bmp(40, 4, 3, 8, 1, bytes([3, 1, 1, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 2, 3, 0, 1]), pal4),
    "rle4_6x2.bmp": bmp(40, 6, 2, 4, 2, bytes([6, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1]), pal16),
}
for name, data in files.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print("wrote", len(files), "files to", out)

# Hostile inputs kept as regressions: each must be refused, never read out of bounds.
reg = os.path.join(here, "regressions")
os.makedirs(reg, exist_ok=True)
hostile = {
    # 65535 x 65535 RLE picture of a few bytes: over the size cap.
    "rle8_huge_size.bmp": bmp(40, 65535, 65535, 8, 1, bytes([0, 1]), pal4),
    # Pixel data offset near 2^32.
    "offset_wraps.bmp": bmp(40, 1, 1, 24, 0, b"\1\2\3\0")[:10] + struct.pack("<I", 0xFFFFFFFC)
                        + bmp(40, 1, 1, 24, 0, b"\1\2\3\0")[14:],
    # Width * bits overflows 32 bits in a naive stride computation.
    "stride_overflow.bmp": bmp(40, 0x7FFFFFFF, 1, 32, 0, b"\0" * 8),
    # Absolute run whose length runs past the data.
    "rle4_absolute_past_end.bmp": bmp(40, 4, 1, 4, 2, bytes([0, 255, 0x12]), pal16),
    # Delta far below the picture.
    "rle8_delta_past_picture.bmp": bmp(40, 4, 2, 8, 1, bytes([0, 2, 255, 255, 1, 1, 0, 1]), pal4),
}
for name, data in hostile.items():
    with open(os.path.join(reg, name), "wb") as f:
        f.write(data)
print("wrote", len(hostile), "files to", reg)
