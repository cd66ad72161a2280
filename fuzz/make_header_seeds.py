#!/usr/bin/env python3
"""Writes a few JPEG, GIF and TIFF headers into fuzz/header_corpus/ (the PNG seeds are png_corpus/)."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "header_corpus")
os.makedirs(out, exist_ok=True)


def segment(marker, body):
    return bytes([0xFF, marker]) + struct.pack(">H", len(body) + 2) + body


def jpeg(sof, before=b""):
    frame = segment(sof, bytes([8]) + struct.pack(">HH", 48, 64) + bytes([1, 1, 0x11, 0]))
    return b"\xFF\xD8" + before + segment(0xDB, bytes(65)) + frame + segment(0xC4, bytes(20)) + b"\xFF\xDA\x00\x08"


def gif(frames):
    data = b"GIF89a" + struct.pack("<HH", 8, 8) + bytes([0x80, 0, 0]) + bytes(6)
    data += b"\x21\xFE\x03abc\x00"  # a comment
    for w, h in frames:
        data += b"\x2C" + struct.pack("<HHHH", 0, 0, w, h) + bytes([0, 2, 2, 0x44, 0x01, 0])
    return data + b"\x3B"


def tiff(order, width, height, extra=(), arrays=()):
    """A first directory of the size and `extra` (tag, type, value) entries, and `arrays` (tag, type, values)
    whose values stand after the directory."""
    entries = [(256, 3, 1, width), (257, 4, 1, height), (258, 3, 1, 8), (262, 3, 1, 1)]
    entries += [(tag, kind, 1, value) for tag, kind, value in extra]
    count = len(entries) + len(arrays)
    at = 8 + 2 + 12 * count + 4
    tail = b""
    for tag, kind, values in arrays:
        entries.append((tag, kind, len(values), at + len(tail)))
        tail += b"".join(struct.pack(order + ("H" if kind == 3 else "I"), v) for v in values)
    entries.sort()
    data = (b"II*\0" if order == "<" else b"MM\0*") + struct.pack(order + "I", 8) + struct.pack(order + "H", count)
    for tag, kind, n, value in entries:
        inline = n == 1 and kind == 3
        field = struct.pack(order + "HH", value, 0) if inline else struct.pack(order + "I", value)
        data += struct.pack(order + "HHI", tag, kind, n) + field
    return data + bytes(4) + tail


seeds = {
    "baseline_exif.jpg": jpeg(0xC0, segment(0xE1, b"Exif\0\0" + b"\xFF\xC0\x00\x11")),
    "progressive.jpg": jpeg(0xC2, segment(0xE0, b"JFIF\0" + bytes(9))),
    "two_frames.gif": gif([(8, 8), (4, 2)]),
    "little_endian.tif": tiff("<", 5, 3),
    "big_endian.tif": tiff(">", 300, 200),
    "tiled.tif": tiff("<", 40, 20, [(322, 3, 32), (323, 3, 16)], [(324, 4, [200, 300, 400, 500]), (325, 4, [100] * 4)]),
    "strips_rgba.tif": tiff(">", 6, 4, [(277, 3, 4), (338, 3, 2), (278, 4, 2)],
                            [(258, 3, [8, 8, 8, 8]), (273, 4, [150, 180]), (279, 4, [48, 48])]),
    "sixteen_bits.tif": tiff("<", 3, 3, [(277, 3, 3)], [(258, 3, [16, 16, 16])]),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
