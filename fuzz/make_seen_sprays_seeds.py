#!/usr/bin/env python3
"""Writes the seed files of the reader of the game's cache of sprays (custom.hpk):
caches laid out as the game writes them, holding sprays of both kinds, a spray
seen twice, an entry of another type and a decal entry that is no spray.
Usage: fuzz/make_seen_sprays_seeds.py <folder>"""

import hashlib
import struct
import sys
from pathlib import Path

from make_decal_seeds import spray

DECAL, GENERIC, SOUND = 3, 4, 0
CUSTOM = 4


def record(data, kind, index):
    """The 136-byte resource record of one entry."""
    fields = (b"tempdecal.wad".ljust(64, b"\0") + struct.pack("<3i", kind, index, len(data))
              + bytes([CUSTOM]) + hashlib.md5(data).digest() + bytes([index + 1]))
    return fields.ljust(136, b"\0")


def hpk(entries):
    """Header, each entry's data, then the directory, as the game lays them out."""
    body = b""
    directory = b""
    for index, (kind, data) in enumerate(entries):
        directory += record(data, kind, index) + struct.pack("<2i", 12 + len(body), len(data))
        body += data
    return (b"HPAK" + struct.pack("<2i", 1, 12 + len(body)) + body
            + struct.pack("<i", len(entries)) + directory)


def main(folder):
    out = Path(folder)
    colour = spray(16, 16)
    logo = spray(32, 16, colour=False, kind=0x40, name=b"LOGO")
    seeds = {
        "two_sprays.hpk": hpk([(DECAL, colour), (DECAL, logo)]),
        "a_spray_twice_and_a_model.hpk": hpk([(DECAL, colour), (GENERIC, b"model data"),
                                              (DECAL, colour)]),
        "no_spray_in_a_decal.hpk": hpk([(DECAL, b"WAD3 but nothing more"),
                                        (SOUND, b"RIFF....WAVE")]),
    }
    for name, data in seeds.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1])
