#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files into resources/.

horlix.ico     a clock face: dial, hour marks and two hands
attention.ico  the update mark: an orange disc with a white bar
alarm.ico      a bell

Each icon holds the sizes Windows asks for at display scales from 100% to
200% and beyond (16, 20, 24, 32, 40, 48, 64 and 256 pixels): 32-bit colour
with an AND mask, the 256-pixel image as PNG as Windows Vista and later keep it.
Run: python3 tools/make_icons.py   (the .ico files are committed)
"""
import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")


def clock(size):
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    px = {}
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - c, y - c)
            if d <= r:
                px[x, y] = (0, 0, 0, 255) if d > r - max(1.5, size / 12) else (255, 255, 255, 255)
    def line(angle, length, colour, width):
        for i in range(200):
            t = i / 199 * length
            x = c + t * math.sin(angle)
            y = c - t * math.cos(angle)
            for dx in range(-width, width + 1):
                for dy in range(-width, width + 1):
                    px[int(round(x)) + dx, int(round(y)) + dy] = colour
    w = 0 if size <= 16 else max(1, size // 24)
    line(math.radians(300), r * 0.5, (0, 0, 0, 255), w)
    line(math.radians(60), r * 0.75, (0, 128, 255, 255), w)
    return px


def attention(size):
    c = (size - 1) / 2.0
    px = {}
    for y in range(size):
        for x in range(size):
            if math.hypot(x - c, y - c) <= size / 2.0 - 0.5:
                px[x, y] = (255, 140, 0, 255)
    for y in range(size // 5, size - size // 5):
        for x in range(int(c) - size // 10, int(c) + size // 10 + 1):
            if abs(y - (size - size // 4)) > size // 10:
                px[x, y] = (255, 255, 255, 255)
    return px


def bell(size):
    c = (size - 1) / 2.0
    px = {}
    for y in range(size):
        for x in range(size):
            top, bottom = size * 0.15, size * 0.75
            if top <= y <= bottom:
                half = size * (0.12 + 0.3 * (y - top) / (bottom - top))
                if abs(x - c) <= half:
                    px[x, y] = (255, 200, 0, 255)
            if math.hypot(x - c, y - size * 0.85) <= size * 0.1:
                px[x, y] = (160, 100, 0, 255)
    return px


def image(draw, size):
    px = draw(size)
    rows = []
    mask_rows = []
    stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        row = b""
        mask = bytearray(stride)
        for x in range(size):
            p = px.get((x, y))
            if p is None:
                row += b"\0\0\0\0"
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b, a = p
                row += bytes((b, g, r, a))
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def png(draw, size):
    px = draw(size)
    raw = b"".join(b"\0" + b"".join(bytes(px.get((x, y), (0, 0, 0, 0))) for x in range(size))
                   for y in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write_icon(name, draw):
    images = [png(draw, s) if s >= 256 else image(draw, s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    write_icon("horlix.ico", clock)
    write_icon("attention.ico", attention)
    write_icon("alarm.ico", bell)
