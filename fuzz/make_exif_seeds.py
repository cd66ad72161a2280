#!/usr/bin/env python3
"""Writes a few tiny JPEG and TIFF headers with an orientation tag into fuzz/exif_corpus/."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "exif_corpus")
os.makedirs(out, exist_ok=True)


def tiff(little, entries):
    """A TIFF structure with one directory of (tag, type, count, value) entries."""
    e = "<" if little else ">"
    body = (b"II" if little else b"MM") + struct.pack(e + "HI", 42, 8) + struct.pack(e + "H", len(entries))
    for tag, kind, count, value in entries:
        field = struct.pack(e + "HH", value, 0) if kind == 3 else struct.pack(e + "I", value)
        body += struct.pack(e + "HHI", tag, kind, count) + field
    return body + b"\0\0\0\0"


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def jpeg(*segments):
    scan = segment(0xDA, bytes(10)) + b"\x01\x02\x03\xff\xd9"
    return b"\xff\xd8" + segment(0xE0, b"JFIF\0\1\1\0\0\1\0\1\0\0") + b"".join(segments) + scan


def exif(body):
    return segment(0xE1, b"Exif\0\0" + body)


files = {
    "jpeg_intel_6.jpg": jpeg(exif(tiff(True, [(0x100, 3, 1, 640), (0x112, 3, 1, 6)]))),
    "jpeg_motorola_8.jpg": jpeg(exif(tiff(False, [(0x112, 3, 1, 8), (0x131, 2, 4, 0x41424300)]))),
    "jpeg_xmp_then_exif_3.jpg": jpeg(segment(0xE1, b"http://ns.adobe.com/xap/1.0/\0<x/>"), exif(tiff(True, [(0x112, 3, 1, 3)]))),
    "tiff_intel_5.tif": tiff(True, [(0x100, 4, 1, 2), (0x101, 4, 1, 2), (0x112, 3, 1, 5)]),
    "tiff_motorola_7.tif": tiff(False, [(0x112, 4, 1, 7)]),
}
for name, data in files.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
