#!/usr/bin/python3
"""Checks the Windows program icon as Windows reads it.

    check_icon.py ICO_FILE

It must hold exactly four images, 16x16 and 32x32 pixels, each in 16 colours
(4 bits per pixel) and in 256 colours (8 bits), stored the way Windows draws
them: a bitmap with its palette, then a transparency mask.
"""

import struct
import sys

EXPECTED_IMAGES = {(16, 16, 4), (16, 16, 8), (32, 32, 4), (32, 32, 8)}

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def check_image(label, width, height, bits, image):
    header = struct.unpack_from("<IiiHHIIiiII", image, 0)
    size, dib_width, dib_height, planes, dib_bits, compression = header[:6]
    colours_used = header[9]
    ok = expect(size == 40, f"{label}: header is {size} bytes, not a BITMAPINFOHEADER")
    ok &= expect((dib_width, dib_height) == (width, height * 2),
                 f"{label}: bitmap is {dib_width}x{dib_height}, expected {width}x{height * 2}"
                 " (colour bits and mask)")
    ok &= expect(planes == 1 and dib_bits == bits and compression == 0,
                 f"{label}: planes {planes}, {dib_bits} bits, compression {compression}")
    if not expect(bits in (4, 8), f"{label}: neither 16 nor 256 colours"):
        return set()
    palette_size = colours_used or (1 << bits)
    ok &= expect(palette_size == 1 << bits, f"{label}: palette of {palette_size} colours")
    colour_stride = (width * bits + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    colour_at = 40 + 4 * palette_size
    mask_at = colour_at + colour_stride * height
    ok &= expect(len(image) == mask_at + mask_stride * height,
                 f"{label}: {len(image)} bytes, expected {mask_at + mask_stride * height}")
    if not ok:
        return set()
    palette = [struct.unpack_from("<BBBB", image, 40 + 4 * i)[:3] for i in range(palette_size)]
    used, shown, hidden = set(), 0, 0
    for y in range(height):
        for x in range(width):
            bit = image[mask_at + y * mask_stride + x // 8] & (0x80 >> (x % 8))
            byte = image[colour_at + y * colour_stride + x * bits // 8]
            index = byte if bits == 8 else (byte >> 4 if x % 2 == 0 else byte & 0x0F)
            if bit:
                hidden += 1
                # Windows draws a masked pixel by XOR with its colour: anything
                # but black would show through as a ghost of inverted colour.
                if palette[index] != (0, 0, 0):
                    failures.append(f"{label}: transparent pixel ({x},{y}) is not black")
                    return used
            else:
                shown += 1
                used.add(palette[index])
    expect(shown > 0, f"{label}: every pixel is transparent")
    expect(hidden > 0, f"{label}: no pixel is transparent; the icon would be a square")
    return used


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    with open(argv[1], "rb") as f:
        ico = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", ico, 0)
    if not expect((reserved, kind) == (0, 1), f"not an icon file (header {reserved}, {kind})"):
        count = 0
    found, spans, colours = set(), [], {}
    for i in range(count):
        width, height, colour_count, _, planes, bits, size, offset = struct.unpack_from(
            "<BBBBHHII", ico, 6 + 16 * i)
        label = f"image {i} ({width}x{height}, {bits} bits)"
        found.add((width, height, bits))
        expect(colour_count == (1 << bits if bits < 8 else 0),
               f"{label}: directory says {colour_count} colours")
        expect(planes == 1, f"{label}: directory says {planes} planes")
        if not expect(offset >= 6 + 16 * count and offset + size <= len(ico),
                      f"{label}: bytes {offset}..{offset + size} lie outside the file"):
            continue
        spans.append((offset, offset + size))
        colours[(width, bits)] = check_image(label, width, height, bits, ico[offset:offset + size])
    expect(count == len(EXPECTED_IMAGES) and found == EXPECTED_IMAGES,
           f"images are {sorted(found)} ({count} in all), expected {sorted(EXPECTED_IMAGES)}")
    spans.sort()
    for (_, end), (start, _) in zip(spans, spans[1:]):
        expect(end <= start, "two images share bytes")
    for width in (16, 32):
        # A 256-colour image holding only what 16 colours could show was made
        # from the wrong rendering.
        if colours.get((width, 8)) and colours.get((width, 4)):
            expect(len(colours[(width, 8)]) > len(colours[(width, 4)]),
                   f"the {width}x{width} 256-colour image shows no more colours than the 16-colour one")
    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        sys.exit(1)
    print(f"{argv[1]}: {count} images as expected")


if __name__ == "__main__":
    main(sys.argv)
