#!/usr/bin/env python3
"""Writes the fully transparent 16x16 icon in its two forms: the window's
(directory entry with planes 0 and bit count 0) and the program's main icon
(planes 1, bit count 1). Usage: make_blank_icon.py WINDOW_ICO MAIN_ICO"""
import struct
import sys


def icon(planes, bit_count):
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 1, 0, 128, 0, 0, 0, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    xor_mask = bytes(16 * 4)
    and_mask = bytes([0xFF, 0xFF, 0, 0]) * 16  # every pixel transparent
    image = header + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 16, 16, 2, 0, planes, bit_count, len(image), 22)
    data = directory + entry + image
    assert len(data) == 198
    return data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon(0, 0))
    with open(sys.argv[2], "wb") as f:
        f.write(icon(1, 1))
