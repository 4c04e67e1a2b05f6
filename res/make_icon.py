#!/usr/bin/env python3
"""Draws the application icon: a camera body with a lens, 32x32 and 16x16, 16 colours each.

Run it to regenerate quillmast.ico; the output is committed so the build needs no Python.
"""
import struct
import sys

# The standard 16-colour palette (BGR0 order in the file).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, BLUE, CYAN, WHITE = 0, 4, 7, 8, 12, 14, 15
CLEAR = None


def picture(size):
    s = size / 32.0
    px = [[CLEAR] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s
            body = 3 <= fx <= 29 and 9 <= fy <= 27
            hump = 10 <= fx <= 20 and 5 <= fy <= 9
            r2 = (fx - 16) ** 2 + (fy - 18) ** 2
            if body or hump:
                px[y][x] = GREY if (fx < 4 or fx > 28 or fy > 26 or fy < 10 and not hump) else NAVY
            if body and r2 <= 49:
                px[y][x] = SILVER
            if body and r2 <= 30:
                px[y][x] = BLUE
            if body and r2 <= 10:
                px[y][x] = CYAN
            if body and (fx - 14) ** 2 + (fy - 16) ** 2 <= 2:
                px[y][x] = WHITE
            if 24 <= fx <= 27 and 11 <= fy <= 13:
                px[y][x] = WHITE
    return px


def image(size):
    px = picture(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor, mask = b'', b''
    for y in reversed(range(size)):  # bottom-up rows
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            c = px[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += bytes(row)
        mask += bytes(bits)
    return header + palette + xor + mask


def main(path):
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'quillmast.ico')
