#!/usr/bin/python3
"""Writes a Windows icon with 16- and 256-colour images of the given PNGs.

    write_ico.py OUT.ico PNG...

Each PNG (8-bit RGBA, as rsvg-convert writes it) becomes two images: one with
4 bits per pixel on the standard Windows 16-colour palette, and one with 8 bits
per pixel on a palette made for it. ImageMagick writes icon images only as
32-bit bitmaps or PNG, so the container is written here, byte by byte; the
same PNGs always give the same file.
"""

import struct
import sys
import zlib

# The Windows system colours, in the order 4-bit images use them.
WINDOWS_16_COLOURS = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK = (0, 0, 0)
OPAQUE_FROM = 128  # alpha at or above this is drawn; the mask has no in-between


def read_png(path):
    """Width, height and rows of (r, g, b, a) of an 8-bit RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                sys.exit(f"{path}: only 8-bit RGBA without interlacing is read")
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride, rows, prior = width * 4, [], bytearray(width * 4)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = row[i - 4] if i >= 4 else 0
            up = prior[i]
            upper_left = prior[i - 4] if i >= 4 else 0
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                nearest = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                row[i] = (row[i] + nearest) & 0xFF
        rows.append([tuple(row[x * 4:x * 4 + 4]) for x in range(width)])
        prior = row
    return width, height, rows


def distance(a, b):
    # The eye tells greens apart best and blues worst.
    return 2 * (a[0] - b[0]) ** 2 + 4 * (a[1] - b[1]) ** 2 + 3 * (a[2] - b[2]) ** 2


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: (distance(colour, palette[i]), i))


def median_cut(counts, wanted):
    """A palette of at most `wanted` colours for the colour -> count map."""
    boxes = [sorted(counts.items())]
    while len(boxes) < wanted:
        def spread(box):
            return max(max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3))
        splittable = [i for i, box in enumerate(boxes) if len(box) > 1]
        if not splittable:
            break
        index = max(splittable, key=lambda i: (spread(boxes[i]), -i))
        box = boxes[index]
        channel = max(range(3), key=lambda k: (max(c[k] for c, _ in box) - min(c[k] for c, _ in box), -k))
        box.sort(key=lambda item: (item[0][channel], item[0]))
        half, seen, cut = sum(n for _, n in box) / 2, 0, 1
        for cut in range(1, len(box)):
            seen += box[cut - 1][1]
            if seen >= half:
                break
        boxes[index:index + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[k] * n for c, n in box) / total) for k in range(3)))
    return palette


def dib(width, height, rows, bits):
    """The image as an icon stores it: header, palette, colour bits, mask."""
    opaque = [[px[3] >= OPAQUE_FROM for px in row] for row in rows]
    if bits == 4:
        palette = WINDOWS_16_COLOURS
    else:
        counts = {}
        for row, shown in zip(rows, opaque):
            for px, on in zip(row, shown):
                if on:
                    counts[px[:3]] = counts.get(px[:3], 0) + 1
        # Index 0 stays black: a masked pixel must be black, or Windows
        # inverts the screen beneath it instead of leaving it alone.
        palette = [BLACK] + median_cut(counts, 255)
        palette += [BLACK] * (256 - len(palette))
    cache = {}

    def index_of(colour):
        if colour not in cache:
            cache[colour] = nearest(colour, palette)
        return cache[colour]

    colour_stride = (width * bits + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    colour_bits, mask_bits = b"", b""
    for y in reversed(range(height)):  # bottom-up, as a DIB is stored
        indices = [index_of(px[:3]) if on else 0 for px, on in zip(rows[y], opaque[y])]
        if bits == 4:
            line = bytes((indices[x] << 4) | (indices[x + 1] if x + 1 < width else 0)
                         for x in range(0, width, 2))
        else:
            line = bytes(indices)
        colour_bits += line.ljust(colour_stride, b"\0")
        mask = bytearray(mask_stride)
        for x, on in enumerate(opaque[y]):
            if not on:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_bits += bytes(mask)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                         len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + quads + colour_bits + mask_bits


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    images = []
    for path in argv[2:]:
        width, height, rows = read_png(path)
        if width > 255 or height > 255:
            sys.exit(f"{path}: a 16- or 256-colour icon image is at most 255 pixels wide")
        for bits in (4, 8):
            images.append((width, height, bits, dib(width, height, rows, bits)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, bits, blob in images:
        colours = 1 << bits if bits < 8 else 0
        entries += struct.pack("<BBBBHHII", width, height, colours, 0, 1, bits, len(blob), offset)
        blobs += blob
        offset += len(blob)
    with open(argv[1], "wb") as f:
        f.write(directory + entries + blobs)


if __name__ == "__main__":
    main(sys.argv)
