#!/usr/bin/env python3
"""Writes the small pictures of the sample site: one PNG, one baseline JPEG and two GIFs.

Only the Python standard library is used, so anyone can regenerate the committed files:

    python3 examples/make_images.py            # writes into examples/site/images
    python3 examples/make_images.py OUTDIR

The output is the same byte for byte on every run.
"""

import math
import os
import struct
import sys
import zlib

# Colours of the bakery's pictures.
CREAM = (250, 240, 220)
CRUST = (176, 102, 40)
SEA = (30, 110, 150)
WHITE = (255, 255, 255)


# --- PNG -------------------------------------------------------------------------------------

def png(width, height, pixel):
    """An 8-bit RGB PNG; pixel(x, y) gives the colour."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter type None
        for x in range(width):
            rows.extend(pixel(x, y))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


# --- GIF -------------------------------------------------------------------------------------

def lzw(indices, min_size):
    """GIF's variable-width LZW, packed least significant bit first."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width, next_code = min_size + 1, end + 1
    table = {(i,): i for i in range(clear)}
    bits, nbits, out = 0, 0, bytearray()

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def grow():
        # The decoder widens its codes as soon as its next free code needs one more bit.
        nonlocal width
        if next_code >= (1 << width) and width < 12:
            width += 1

    emit(clear)
    prefix = (indices[0],)
    for index in indices[1:]:
        candidate = prefix + (index,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix])
        grow()
        assert next_code < 4096, "picture too large for this simple encoder"
        table[candidate] = next_code
        next_code += 1
        prefix = (index,)
    emit(table[prefix])
    grow()
    emit(end)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(width, height, palette, index):
    """A GIF89a with a global colour table of 2, 4, ... entries; index(x, y) picks the colour."""
    depth = max(1, (len(palette) - 1).bit_length())
    colours = palette + [(0, 0, 0)] * ((1 << depth) - len(palette))
    min_size = max(2, depth)
    data = lzw([index(x, y) for y in range(height) for x in range(width)], min_size)
    blocks = bytearray()
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        blocks.append(len(part))
        blocks.extend(part)
    blocks.append(0)
    flags = 0x80 | ((depth - 1) << 4) | (depth - 1)
    return (b"GIF89a" + struct.pack("<HHBBB", width, height, flags, 0, 0) +
            bytes(c for rgb in colours for c in rgb) +
            b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) +
            bytes([min_size]) + bytes(blocks) + b"\x3b")


# --- Baseline JPEG ---------------------------------------------------------------------------

# The example luminance quantisation table, halved (about quality 75), in row order.
QUANT = [max(1, (q + 1) // 2) for q in (
    16, 11, 10, 16, 24, 40, 51, 61,
    12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56,
    14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77,
    24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101,
    72, 92, 95, 98, 112, 100, 103, 99)]


def zigzag():
    order = []
    for s in range(15):
        rows = range(max(0, s - 7), min(s, 7) + 1)
        for r in (rows if s % 2 else reversed(rows)):
            order.append(r * 8 + (s - r))
    return order


ZIGZAG = zigzag()

# Huffman tables that give every symbol a code of one length: 4 bits for the 12 DC sizes,
# 8 bits for the 162 AC run/size pairs. Not the smallest output, but plainly valid.
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [0x00, 0xF0] + [(run << 4) | size for run in range(16) for size in range(1, 11)]


def huffman_codes(length, symbols):
    return {s: (i, length) for i, s in enumerate(symbols)}


def dht(table_class, table_id, length, symbols):
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    body = bytes([(table_class << 4) | table_id] + counts + symbols)
    return b"\xff\xc4" + struct.pack(">H", len(body) + 2) + body


def fdct(block):
    """The 8x8 forward DCT of level-shifted samples."""
    out = [0.0] * 64
    for v in range(8):
        for u in range(8):
            total = 0.0
            for y in range(8):
                cy = math.cos((2 * y + 1) * v * math.pi / 16)
                for x in range(8):
                    total += block[y * 8 + x] * math.cos((2 * x + 1) * u * math.pi / 16) * cy
            cu = 1 / math.sqrt(2) if u == 0 else 1.0
            cv = 1 / math.sqrt(2) if v == 0 else 1.0
            out[v * 8 + u] = total * cu * cv / 4
    return out


class BitWriter:
    def __init__(self):
        self.out, self.bits, self.nbits = bytearray(), 0, 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.bits = (self.bits << 1) | ((value >> i) & 1)
            self.nbits += 1
            if self.nbits == 8:
                self.out.append(self.bits)
                if self.bits == 0xFF:
                    self.out.append(0)  # byte stuffing
                self.bits, self.nbits = 0, 0

    def finish(self):
        if self.nbits:
            self.put((1 << (8 - self.nbits)) - 1, 8 - self.nbits)  # pad with one bits
        return bytes(self.out)


def magnitude(value):
    size = abs(value).bit_length()
    return size, (value if value >= 0 else value + (1 << size) - 1)


def jpeg(width, height, pixel):
    """A baseline (sequential, Huffman) JPEG in YCbCr 4:4:4; width and height multiples of 8."""
    assert width % 8 == 0 and height % 8 == 0

    def planes(x, y):
        r, g, b = pixel(x, y)
        return (0.299 * r + 0.587 * g + 0.114 * b,
                128 - 0.168736 * r - 0.331264 * g + 0.5 * b,
                128 + 0.5 * r - 0.418688 * g - 0.081312 * b)

    dc_codes = huffman_codes(4, DC_SYMBOLS)
    ac_codes = huffman_codes(8, AC_SYMBOLS)
    writer = BitWriter()
    previous_dc = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            samples = [planes(bx + i % 8, by + i // 8) for i in range(64)]
            for c in range(3):
                coefficients = fdct([s[c] - 128 for s in samples])
                q = [int(round(coefficients[k] / QUANT[k])) for k in ZIGZAG]
                size, bits = magnitude(q[0] - previous_dc[c])
                previous_dc[c] = q[0]
                writer.put(*dc_codes[size])
                writer.put(bits, size)
                run = 0
                for value in q[1:]:
                    if value == 0:
                        run += 1
                        continue
                    while run > 15:
                        writer.put(*ac_codes[0xF0])
                        run -= 16
                    size, bits = magnitude(value)
                    writer.put(*ac_codes[(run << 4) | size])
                    writer.put(bits, size)
                    run = 0
                if run:
                    writer.put(*ac_codes[0x00])

    def segment(marker, body):
        return marker + struct.pack(">H", len(body) + 2) + body

    frame = struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0])
    scan = bytes([3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0])
    return (b"\xff\xd8" +
            segment(b"\xff\xe0", b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00") +
            segment(b"\xff\xdb", bytes([0] + [QUANT[k] for k in ZIGZAG])) +
            segment(b"\xff\xc0", frame) +
            dht(0, 0, 4, DC_SYMBOLS) + dht(1, 0, 8, AC_SYMBOLS) +
            segment(b"\xff\xda", scan) + writer.finish() + b"\xff\xd9")


# --- The pictures ----------------------------------------------------------------------------

def logo(x, y):
    """A loaf on a cream tile: a crust-coloured ellipse with two white cuts."""
    dx, dy = (x - 15.5) / 13, (y - 17.5) / 8
    if dx * dx + dy * dy > 1:
        return CREAM
    if y in (14, 15) and (8 <= x <= 12 or 19 <= x <= 23):
        return WHITE
    return CRUST


def photo(x, y):
    """A harbour at sunset: a warm sky over a darker sea."""
    if y < 20:
        t = y / 19
        return (int(250 - 40 * t), int(200 - 110 * t), int(120 - 60 * t))
    t = (y - 20) / 11
    return (int(SEA[0] * (1 - t / 2)), int(SEA[1] * (1 - t / 2)), int(SEA[2] * (1 - t / 3)))


def spinner(x, y):
    """Four quarters of a ring in two colours, as a loading sign."""
    d = math.hypot(x - 7.5, y - 7.5)
    if not 4 <= d <= 7:
        return 0
    return 1 if (x < 8) == (y < 8) else 2


def banner(x, y):
    """Stripes in the bakery's colours."""
    return 1 + (x // 4 + y // 4) % 3


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "site", "images")
    os.makedirs(out, exist_ok=True)
    pictures = {
        "logo.png": png(32, 32, logo),
        "photo.jpg": jpeg(32, 32, photo),
        "spinner.gif": gif(16, 16, [WHITE, CRUST, SEA], spinner),
        "old-banner.gif": gif(48, 12, [WHITE, CREAM, CRUST, SEA], banner),
    }
    for name, data in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print(f"{os.path.join(out, name)}: {len(data)} bytes")


if __name__ == "__main__":
    main()
