#!/usr/bin/env python3
"""Writes assets/Spiralux.ico, the icon of Spiralux.scr and SpiraMain.exe: a purple and
yellow spiral at 16, 32 and 48 pixels, 32-bit images with alpha.
Deterministic; run it after a change and commit the result:
python3 tools/makeicon/MakeIcon.py"""
import math
import os
import struct

ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets", "Spiralux.ico")


def pixel(x, y, size):
    # Centre-relative polar coordinates, the radius scaled to 0..1.
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy) / (size / 2.0)
    if r > 1.0:
        return (0, 0, 0, 0)
    a = math.atan2(dy, dx)
    # Two arms of an Archimedean spiral: bright where the phase is near 0.
    phase = (a / (2 * math.pi) * 2 - r * 3.0) % 1.0
    arm = max(0.0, 1.0 - abs(phase - 0.5) * 4.0)
    purple = (120 + 60 * (1 - r), 30, 160 + 60 * (1 - r))
    yellow = (255, 210 + 40 * (1 - r), 40)
    rgb = [int(p + (q - p) * arm) for p, q in zip(purple, yellow)]
    alpha = 255 if r < 0.94 else int(255 * (1.0 - r) / 0.06)
    return (rgb[2], rgb[1], rgb[0], alpha)  # stored blue, green, red, alpha


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(x, y, size)) for x in range(size)))
    mask_row = ((size + 31) // 32) * 4
    # The AND mask is all zero: the alpha channel decides.
    return header + b"".join(rows) + bytes(mask_row * size)


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(ICON, "wb") as f:
        f.write(out)


main()
