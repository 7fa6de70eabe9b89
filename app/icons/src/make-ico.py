#!/usr/bin/env python3
"""Writes a Windows icon group file from 32-bit PNGs.

ImageMagick picks the colour depth of each .ico entry from the number of colours in
the picture, so it cannot be told to write the 256-colour entry that old shells look
for. This writes the entries directly: for each PNG a 256-colour (8 bits per pixel,
palette) entry when asked, and a 32-bit entry, each with its AND mask.

usage: make-ico.py OUT.ico [--palette] PNG [[--palette] PNG ...]
"""
import struct
import subprocess
import sys


def read_rgba(path):
    size = subprocess.run(["identify", "-format", "%w %h", path],
                          check=True, capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"],
                         check=True, capture_output=True).stdout
    pixels = [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]
    assert len(pixels) == width * height, path
    return width, height, pixels


def and_mask(width, height, pixels):
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            if pixels[y * width + x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def bitmap_header(width, height, bits, colours):
    # Height is doubled: the image and its AND mask are stacked.
    return struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colours, 0)


def entry_32bit(width, height, pixels):
    data = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = pixels[y * width + x]
            data += bytes((b, g, r, a))
    return bitmap_header(width, height, 32, 0) + bytes(data) + and_mask(width, height, pixels)


def entry_palette(width, height, pixels):
    # Opaque colours go to the palette; transparent pixels use index 0 and the mask.
    palette = [(0xC0, 0xC0, 0xC0)]
    index = {}
    rows = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = pixels[y * width + x]
            if a < 128:
                rows.append(0)
                continue
            # Blend the edge pixels onto white, as the picture is drawn on a white list.
            colour = tuple((c * a + 255 * (255 - a)) // 255 for c in (r, g, b))
            if colour not in index:
                if len(palette) == 256:
                    sys.exit("more than 255 opaque colours; cannot write a 256-colour entry")
                index[colour] = len(palette)
                palette.append(colour)
            rows.append(index[colour])
        while len(rows) % 4:
            rows.append(0)
    palette += [(0, 0, 0)] * (256 - len(palette))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return bitmap_header(width, height, 8, 256) + table + bytes(rows) + and_mask(width, height, pixels)


def main():
    out = sys.argv[1]
    entries = []
    palette_next = False
    for arg in sys.argv[2:]:
        if arg == "--palette":
            palette_next = True
            continue
        width, height, pixels = read_rgba(arg)
        if palette_next:
            entries.append((width, height, 0, 8, entry_palette(width, height, pixels)))
        entries.append((width, height, 0, 32, entry_32bit(width, height, pixels)))
        palette_next = False
    data = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for width, height, colours, bits, blob in entries:
        data += struct.pack("<BBBBHHII", width % 256, height % 256, colours, 0, 1, bits,
                            len(blob), offset + len(blobs))
        blobs += blob
    with open(out, "wb") as f:
        f.write(data + blobs)


if __name__ == "__main__":
    main()
