#!/usr/bin/env python3
"""Draws the program's icon, a printer with its main board, and writes res/Kestrava.ico:
one 64 x 64 image at 24 bits per pixel with a 1-bit transparency mask.

Run it again after changing the drawing; the .ico it writes is kept in the repository.
"""
import os
import struct

SIZE = 64

SLATE = (0x2E, 0x4A, 0x66)
SLATE_LIGHT = (0x4C, 0x6F, 0x93)
SLATE_DARK = (0x1B, 0x2C, 0x3D)
PAPER = (0xFA, 0xFA, 0xF5)
INK = (0x9A, 0xA4, 0xAE)
BOARD = (0x1E, 0x7D, 0x45)
BOARD_EDGE = (0x12, 0x52, 0x2C)
GOLD = (0xE0, 0xB0, 0x2A)
CHIP = (0x22, 0x22, 0x26)
LED = (0x6C, 0xE0, 0x5A)


def draw():
    pixels = [[None] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(y0, 0), min(y1, SIZE)):
            for x in range(max(x0, 0), min(x1, SIZE)):
                pixels[y][x] = colour

    def rounded(x0, y0, x1, y1, radius, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + radius - x - 0.5, 0, x - (x1 - radius) + 0.5)
                dy = max(y0 + radius - y - 0.5, 0, y - (y1 - radius) + 0.5)
                if dx * dx + dy * dy <= radius * radius:
                    pixels[y][x] = colour

    # The sheet coming out of the top, with lines of text.
    rect(17, 3, 47, 24, PAPER)
    rect(16, 3, 17, 24, INK)
    rect(47, 3, 48, 24, INK)
    rect(16, 2, 48, 3, INK)
    for y in (7, 11, 15):
        rect(21, y, 43, y + 2, INK)
    # The body: a lighter top face, the front, the output slot and a power light.
    rounded(4, 20, 60, 50, 5, SLATE)
    rounded(4, 20, 60, 28, 4, SLATE_LIGHT)
    rect(4, 27, 60, 28, SLATE_DARK)
    rect(12, 34, 52, 37, SLATE_DARK)
    rect(48, 42, 53, 45, LED)
    # The main board in front, with its chip and contact fingers.
    rounded(14, 40, 46, 62, 2, BOARD_EDGE)
    rounded(15, 41, 45, 61, 2, BOARD)
    rect(24, 45, 36, 56, CHIP)
    for x in range(25, 36, 3):
        rect(x, 43, x + 2, 45, GOLD)
        rect(x, 56, x + 2, 58, GOLD)
    for y in range(47, 55, 3):
        rect(18, y, 24, y + 1, GOLD)
        rect(36, y, 42, y + 1, GOLD)
    for x in range(17, 44, 4):
        rect(x, 59, x + 2, 61, GOLD)
    return pixels


def icon_file(pixels):
    # BITMAPINFOHEADER: the height counts the colour rows and the mask rows together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    colour_rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        row = bytearray()
        mask = bytearray(SIZE // 8)
        for x in range(SIZE):
            pixel = pixels[y][x]
            if pixel is None:
                row += b"\x00\x00\x00"
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                red, green, blue = pixel
                row += bytes((blue, green, red))
        colour_rows.append(bytes(row))  # 192 bytes: already a multiple of 4
        mask_rows.append(bytes(mask) + b"\x00" * (-len(mask) % 4))
    image = header + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def main():
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Kestrava.ico")
    with open(target, "wb") as out:
        out.write(icon_file(draw()))


if __name__ == "__main__":
    main()
