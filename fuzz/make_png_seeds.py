#!/usr/bin/env python3
"""Writes a few tiny PNG files of every colour type into fuzz/png_corpus/."""
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "png_corpus")
os.makedirs(out, exist_ok=True)
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(name, data):
    return struct.pack(">I", len(data)) + name + data + struct.pack(">I", zlib.crc32(name + data))


def rows_of(pixels, depth):
    """Packs rows of samples (lists of ints) at depth bits, each with filter byte 0."""
    data = b""
    for row in pixels:
        if depth == 16:
            data += b"\0" + b"".join(struct.pack(">H", v) for v in row)
            continue
        bits = "".join(format(v, "0%db" % depth) for v in row)
        bits += "0" * (-len(bits) % 8)
        data += b"\0" + bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    return data


def png(name, w, h, depth, colour, channels, interlace=False, extra=b""):
    top = (1 << depth) - 1 if colour != 3 else min(5, (1 << depth)) - 1
    px = [[(x * 7 + y * 13 + c * 5) % (top + 1) for x in range(w) for c in range(channels)] for y in range(h)]
    if interlace:
        data = b""
        for x0, y0, dx, dy in ADAM7:
            sub = [row[x0 * channels::dx * channels] if channels == 1 else
                   [v for x in range(x0, w, dx) for v in row[x * channels:(x + 1) * channels]]
                   for row in px[y0::dy]]
            if sub and sub[0]:
                data += rows_of(sub, depth)
    else:
        data = rows_of(px, depth)
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, 1 if interlace else 0)
    body = chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(data)) + chunk(b"IEND", b"")
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + body)


palette = chunk(b"PLTE", bytes([255, 0, 7, 0, 9, 255, 1, 2, 3, 200, 100, 50, 7, 77, 177]))
png("grey1_9x3.png", 9, 3, 1, 0, 1)
png("grey2_adam7_5x5.png", 5, 5, 2, 0, 1, True)
png("grey4_key_6x2.png", 6, 2, 4, 0, 1, extra=chunk(b"tRNS", b"\0\3"))
png("grey16_key_3x2.png", 3, 2, 16, 0, 1, extra=chunk(b"tRNS", b"\0\x0c"))
png("greyalpha8_3x2.png", 3, 2, 8, 4, 2, extra=chunk(b"tEXt", b"Comment\0seed"))
png("pal1_9x2.png", 9, 2, 1, 3, 1, extra=palette)
png("pal4_trns_adam7_9x9.png", 9, 9, 4, 3, 1, True, palette + chunk(b"tRNS", b"\0\x80"))
png("pal8_4x3.png", 4, 3, 8, 3, 1, extra=palette + chunk(b"tRNS", b"\0\x80\xff\x09\x3c"))
png("rgb8_key_4x3.png", 4, 3, 8, 2, 3, extra=chunk(b"tRNS", b"\0\0\0\x07\0\x0e") + chunk(b"gAMA", b"\0\0\xb1\x8f"))
png("rgb16_3x2.png", 3, 2, 16, 2, 3, extra=chunk(b"iCCP", b"p\0\0" + zlib.compress(b"profile")))
png("rgba8_adam7_8x8.png", 8, 8, 8, 6, 4, True)
png("rgba16_2x2.png", 2, 2, 16, 6, 4, extra=chunk(b"eXIf", b"MM\0*") + chunk(b"tIME", b"\7\xe8\1\2\3\4\5"))
