#!/usr/bin/env python3
"""Writes the spray reader's seed files: valid sprays of several sizes and both
kinds, one as the game itself writes a one-colour logo (entry type 0x40, name
LOGO) and one whose texture starts after a gap rather than right after the
header. Usage: fuzz/make_decal_seeds.py <folder>"""

import struct
import sys
from pathlib import Path


def spray(width, height, colour=True, kind=0x43, name=b"{LOGO", gap=0):
    n = width * height
    levels = [40, 40 + n, 40 + n + n // 4, 40 + n + n // 4 + n // 16]
    header = name.ljust(16, b"\0") + struct.pack("<6I", width, height, *levels)
    pixels = bytes((x * 7 + x // width) % 256 for x in range(n + n // 4 + n // 16 + n // 64))
    palette = bytearray(bytes(range(256)) * 3)
    palette[765:768] = b"\0\0\xff" if colour else b"\xc0\x20\x20"
    texture = header + pixels + struct.pack("<H", 256) + bytes(palette)
    texture += b"\0" * (-len(texture) % 4)
    position = 12 + gap
    directory = position + len(texture)
    entry = struct.pack("<3i4B", position, len(texture), len(texture), kind, 0, 0, 0)
    return (b"WAD3" + struct.pack("<2i", 1, directory) + b"\0" * gap + texture + entry
            + name.ljust(16, b"\0"))


def main(folder):
    out = Path(folder)
    seeds = {
        "colour_16x16.wad": spray(16, 16),
        "colour_32x48.wad": spray(32, 48),
        "logo_as_the_game_writes_it.wad": spray(32, 16, colour=False, kind=0x40, name=b"LOGO"),
        "texture_after_a_gap.wad": spray(16, 32, gap=20),
        "not_multiple_of_16.wad": spray(24, 8),
    }
    for name, data in seeds.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1])
