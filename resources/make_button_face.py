#!/usr/bin/env python3
"""Writes button_face.bmp, the face of the Zeltra command-bar button: a 16 x 16 globe in the
16 colours of the standard VGA palette, 4 bits a pixel, uncompressed; and button_mask.bmp, its
mask for CommandBarButton.Mask, 16 x 16 at 1 bit a pixel: white where the face's background grey
is (transparent), black on the globe. The build uses the .bmp files; run this only to change the
picture:  python3 resources/make_button_face.py"""
import os
import struct

# The standard 16-colour palette, in its usual order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# One letter a pixel: the background is the classic button-face grey.
INK = {'.': 7, 'K': 4, 'B': 12, 'c': 14, 'G': 2, 'L': 10, 'w': 15}
FACE = [
    "................",
    ".....KKKKKK.....",
    "...KKwcBBGGKK...",
    "..KwcBBBGGLGBK..",
    "..KcBGGBBGLGGK..",
    ".KBBGLGGBBBGGBK.",
    ".KBGLLGGGBBBBBK.",
    ".KBGGLGGGBBGGBK.",
    ".KBBBGGGBBGLGBK.",
    ".KBBBBGGBBGLGGK.",
    ".KBBBBGLGBBGGBK.",
    "..KBBBGLBBBBBK..",
    "..KBBBBGBBBBBK..",
    "...KKBBBBBBKK...",
    ".....KKKKKK.....",
    "................",
]


def main():
    assert len(FACE) == 16 and all(len(row) == 16 for row in FACE)
    pixels = bytearray()
    for row in reversed(FACE):  # a DIB is stored bottom-up
        for left, right in zip(row[0::2], row[1::2]):
            pixels.append(INK[left] << 4 | INK[right])
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    folder = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(folder, "button_face.bmp"), "wb") as out:
        out.write(header + info + colours + pixels)

    # Rows of a 1-bit DIB are padded to four bytes; bit set = the second colour, white.
    mask = bytearray()
    for row in reversed(FACE):
        bits = 0
        for pixel in row:
            bits = bits << 1 | (pixel == '.')
        mask += struct.pack(">H", bits) + b"\0\0"
    mask_colours = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    mask_info = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 1, 0, len(mask), 0, 0, 2, 0)
    mask_offset = 14 + len(mask_info) + len(mask_colours)
    mask_header = struct.pack("<2sIHHI", b"BM", mask_offset + len(mask), 0, 0, mask_offset)
    with open(os.path.join(folder, "button_mask.bmp"), "wb") as out:
        out.write(mask_header + mask_info + mask_colours + mask)


if __name__ == "__main__":
    main()
