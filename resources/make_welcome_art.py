#!/usr/bin/env python3
"""Draws the welcome window's art and writes it next to this script:

  product.ico  the product icon, a green rounded square with a white "Z": 128 x 128 and 48 x 48 at
               32 bits a pixel (with alpha), 32 x 32 and 16 x 16 at 8 bits a pixel (a palette);
  logo.gif     the 85 x 25 logo, the wordmark "Zeltra" beside a small mark, on the window's green;
  hand.cur     the link's pointing hand, 32 x 32 in two colours, hot spot at the fingertip (6, 0);
  ribbon.bmp   the ribbon button's image, the icon at 32 x 32 with 32 bits a pixel, its alpha
               premultiplied into the colours, as a 32-bit device-independent bitmap carries it.

The build uses the written files; run this only to change a picture:
  python3 resources/make_welcome_art.py
It needs nothing beyond the standard library, so the shapes, the pixel font and the GIF's LZW
coding are all drawn and written here."""
import os
import struct

# The welcome window's background.
FORM_GREEN = (85, 170, 85)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# Anti-aliased shapes are sampled SAMPLES x SAMPLES times a pixel.
SAMPLES = 4


def in_rounded_square(x, y, left, top, right, bottom, radius):
    nearest_x = min(max(x, left + radius), right - radius)
    nearest_y = min(max(y, top + radius), bottom - radius)
    return (x - nearest_x) ** 2 + (y - nearest_y) ** 2 <= radius ** 2


def in_polygon(x, y, corners):
    inside = False
    for (x1, y1), (x2, y2) in zip(corners, corners[1:] + corners[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def z_outline(left, top, right, bottom, bar):
    """The corners of a "Z" filling the box, its bars `bar` high. The diagonal is widened so that,
    measured across its slope, it is as heavy as the bars."""
    width, slope_height = right - left, bottom - top - 2 * bar
    diagonal = bar * (width ** 2 + slope_height ** 2) ** 0.5 / slope_height
    return [(left, top), (right, top), (right, top + bar), (left + diagonal, bottom - bar),
            (right, bottom - bar), (right, bottom), (left, bottom), (left, bottom - bar),
            (right - diagonal, top + bar), (left, top + bar)]


def mix(a, b, amount):
    return tuple(round(p + (q - p) * amount) for p, q in zip(a, b))


def render(size_x, size_y, colour_at):
    """Rows of (red, green, blue, alpha), each pixel the mean of its samples; colour_at(x, y)
    gives the colour of one sample, or None where it is transparent."""
    rows = []
    for py in range(size_y):
        row = []
        for px in range(size_x):
            total, opaque = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    if colour is not None:
                        opaque += 1
                        total = [t + c for t, c in zip(total, colour)]
            if opaque:
                row.append(tuple(round(t / opaque) for t in total) + (round(255 * opaque / SAMPLES ** 2),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---- The product icon -------------------------------------------------------------------------

ICON_TOP_GREEN = (116, 196, 116)
ICON_BOTTOM_GREEN = (60, 146, 60)
ICON_EDGE = (36, 102, 36)


def icon_pixels(size):
    """The icon at one size. Its measures are rounded to whole pixels for each size, so that the
    Z's bars and the square's edge stay sharp at 16 x 16."""
    inset = round(size / 32)
    edge = max(1, round(size / 48))
    radius = size * 0.22
    z_inset = round(size * 0.19)
    bar = max(2, round(size / 8))
    shadow = round(size / 32)  # none at 16 x 16, where it would only blur the letter
    z = z_outline(z_inset, z_inset, size - z_inset, size - z_inset, bar)
    z_shadow = [(x, y + shadow) for x, y in z]
    inner = (inset + edge, size - inset - edge)

    def colour_at(x, y):
        if not in_rounded_square(x, y, inset, inset, size - inset, size - inset, radius):
            return None
        if not in_rounded_square(x, y, inner[0], inner[0], inner[1], inner[1], radius - edge):
            return ICON_EDGE
        if in_polygon(x, y, z):
            return WHITE
        fill = mix(ICON_TOP_GREEN, ICON_BOTTOM_GREEN, (y - inner[0]) / (inner[1] - inner[0]))
        if shadow and in_polygon(x, y, z_shadow):
            return mix(fill, BLACK, 0.35)
        return fill

    return render(size, size, colour_at)


def bit_rows(pixels, is_set):
    """One bit a pixel, rows bottom-up, each padded to four bytes: the mask that follows every icon
    and cursor image (set where the screen shows through), and a two-colour cursor's colours."""
    data = bytearray()
    for row in reversed(pixels):
        bits = [1 if is_set(p) else 0 for p in row]
        bits += [0] * (-len(bits) % 32)
        for i in range(0, len(bits), 8):
            data.append(int("".join(map(str, bits[i:i + 8])), 2))
    return bytes(data)


def dib_header(width, height, bits, data_size, colours_used=0):
    # An icon's or cursor's header counts the mask too, so its height is twice the picture's.
    return struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0, data_size, 0, 0, colours_used, 0)


def icon_image(pixels, bits):
    """One image of the .ico: the header, for 8 bits a palette, the colours bottom-up, the mask.
    Without alpha a pixel is shown or not: a half-covered edge pixel is shown when it is mostly
    covered, in the colour it already has (the edge's), so no fringe appears on any background."""
    size = len(pixels)
    transparent = lambda pixel: pixel[3] < 128
    if bits == 32:
        palette = b""
        colours = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels) for r, g, b, a in row)
    else:
        # Hidden pixels must be black: where the mask lets the screen through, the colour is XORed on.
        shown = [[BLACK if transparent(p) else p[:3] for p in row] for row in pixels]
        used = sorted({c for row in shown for c in row})
        assert len(used) <= 256, f"{size} x {size} uses {len(used)} colours"
        index = {c: i for i, c in enumerate(used)}
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in used + [BLACK] * (256 - len(used)))
        colours = b"".join(bytes(index[c] for c in row) + bytes(-size % 4) for row in reversed(shown))
    mask = bit_rows(pixels, transparent)
    return dib_header(size, size, bits, len(colours) + len(mask)) + palette + colours + mask


def directory_file(kind, entries):
    """An .ico (kind 1) or .cur (kind 2): the directory, then the images. An entry is (width,
    height, colour count, two words, image); the words are the planes and bits of an icon image,
    the hot spot of a cursor."""
    table, offset = b"", 6 + 16 * len(entries)
    for width, height, count, word1, word2, image in entries:
        table += struct.pack("<BBBBHHII", width, height, count, 0, word1, word2, len(image), offset)
        offset += len(image)
    return struct.pack("<HHH", 0, kind, len(entries)) + table + b"".join(e[-1] for e in entries)


def product_icon():
    entries = []
    for size, bits in ((32, 8), (16, 8), (128, 32), (48, 32)):
        entries.append((size, size, 0, 1, bits, icon_image(icon_pixels(size), bits)))
    return directory_file(1, entries)


# ---- The logo ---------------------------------------------------------------------------------

LOGO_SIZE = (85, 25)
LOGO_SHADOW = mix(FORM_GREEN, BLACK, 0.3)

# A bold pixel font, two-pixel strokes: 13 rows from the top of the capitals to the baseline, the
# small letters 9 rows high.
GLYPHS = {
    "Z": ["###########",
          "###########",
          "        ###",
          "       ### ",
          "      ###  ",
          "     ###   ",
          "    ###    ",
          "   ###     ",
          "  ###      ",
          " ###       ",
          "###        ",
          "###########",
          "###########"],
    "e": [" ###### ",
          "########",
          "##    ##",
          "########",
          "########",
          "##      ",
          "##    ##",
          "########",
          " ###### "],
    "l": ["##"] * 13,
    "t": [" ##   ",
          " ##   ",
          " ##   ",
          "######",
          "######",
          " ##   ",
          " ##   ",
          " ##   ",
          " ##   ",
          " ##   ",
          " ##   ",
          " #####",
          "  ####"],
    "r": ["## ####",
          "#######",
          "###    ",
          "##     ",
          "##     ",
          "##     ",
          "##     ",
          "##     ",
          "##     "],
    "a": [" ###### ",
          " #######",
          "      ##",
          " #######",
          "########",
          "##    ##",
          "##   ###",
          "########",
          " #### ##"],
}
FONT_HEIGHT = 13
LETTER_GAP = 2
MARK_SIZE = 19
MARK_GAP = 5


def logo_pixels():
    """The logo as rows of colours: the mark, a white tile with a green "Z" after the icon, then
    the wordmark in white with a dark green shadow one pixel down and to the right."""
    width, height = LOGO_SIZE
    pixels = [[FORM_GREEN] * width for _ in range(height)]
    word = "Zeltra"
    word_width = sum(len(GLYPHS[c][0]) for c in word) + LETTER_GAP * (len(word) - 1)
    left = (width - (MARK_SIZE + MARK_GAP + word_width + 1)) // 2  # + 1: the shadow's column
    mark_top = (height - MARK_SIZE) // 2

    z = z_outline(4, 4, MARK_SIZE - 4, MARK_SIZE - 4, 2)

    def mark_at(x, y):
        if not in_rounded_square(x, y, 0, 0, MARK_SIZE, MARK_SIZE, 4):
            return None
        return FORM_GREEN if in_polygon(x, y, z) else WHITE

    for y, row in enumerate(render(MARK_SIZE, MARK_SIZE, mark_at)):
        for x, (r, g, b, a) in enumerate(row):
            pixels[mark_top + y][left + x] = mix(FORM_GREEN, (r, g, b), a / 255)

    x = left + MARK_SIZE + MARK_GAP
    top = (height - FONT_HEIGHT) // 2
    for letter in word:
        glyph = GLYPHS[letter]
        glyph_top = top + FONT_HEIGHT - len(glyph)
        for dx, dy, colour in ((1, 1, LOGO_SHADOW), (0, 0, WHITE)):
            for gy, line in enumerate(glyph):
                for gx, ink in enumerate(line):
                    if ink == "#":
                        pixels[glyph_top + gy + dy][x + gx + dx] = colour
        x += len(glyph[0]) + LETTER_GAP
    return pixels


def lzw(indexes, min_code_size):
    """GIF's LZW coding of the colour indexes: codes of growing width, packed least significant
    bit first, starting with a clear code and ending with the end code."""
    clear = 1 << min_code_size
    out, pending, pending_bits = bytearray(), 0, 0

    def emit(code):
        nonlocal pending, pending_bits
        pending |= code << pending_bits
        pending_bits += width
        while pending_bits >= 8:
            out.append(pending & 0xFF)
            pending >>= 8
            pending_bits -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, clear + 2, min_code_size + 1

    table, next_code, width = reset()
    emit(clear)
    run = bytes(indexes[:1])
    for index in indexes[1:]:
        longer = run + bytes([index])
        if longer in table:
            run = longer
            continue
        emit(table[run])
        if next_code == 4096:
            # The table is full at 12 bits: start a new one rather than stop learning.
            emit(clear)
            table, next_code, width = reset()
        else:
            table[longer] = next_code
            next_code += 1
            # The decoder learns each entry one code later, so it widens its codes only once
            # the entry just made here no longer fits the current width.
            if next_code > 1 << width:
                width += 1
        run = bytes([index])
    emit(table[run])
    # Having read that last code, the decoder makes one more entry, which may widen the end code.
    if next_code == 1 << width and width < 12:
        width += 1
    emit(clear + 1)
    if pending_bits:
        out.append(pending)
    return bytes(out)


def gif(pixels):
    """A GIF89a: one global colour table, the background colour first, and one frame covering the
    whole picture, with no transparency."""
    height, width = len(pixels), len(pixels[0])
    colours = [pixels[0][0]] + sorted({c for row in pixels for c in row} - {pixels[0][0]})
    table_bits = max(1, (len(colours) - 1).bit_length())
    colours += [BLACK] * ((1 << table_bits) - len(colours))
    index = {c: i for i, c in enumerate(colours)}
    min_code_size = max(2, table_bits)
    data = lzw([index[c] for row in pixels for c in row], min_code_size)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    return (b"GIF89a"
            + struct.pack("<HHBBB", width, height, 0x80 | 7 << 4 | (table_bits - 1), 0, 0)
            + b"".join(bytes(c) for c in colours)
            + b"," + struct.pack("<HHHHB", 0, 0, width, height, 0)
            + bytes([min_code_size]) + blocks + b"\0"
            + b";")


# ---- The hand cursor --------------------------------------------------------------------------

HOT_SPOT = (6, 0)
# K black, w white, . transparent. The index finger's tip is the hot spot, on the top row.
HAND = [
    ".....KKK..............",
    "....KwwwK.............",
    "....KwwwK.............",
    "....KwwwK.............",
    "....KwwwK.............",
    "....KwwwKKKK..........",
    "....KwwwKwwwKKKK......",
    "....KwwwKwwwKwwwKKK...",
    "....KwwwKwwwKwwwKwwK..",
    ".KKKKwwwKwwwKwwwKwwK..",
    "KwwwKwwwwwwwwwwwwwwK..",
    "KwwwwKwwwwwwwwwwwwwK..",
    ".KwwwwwwwwwwwwwwwwwK..",
    ".KwwwwwwwwwwwwwwwwwK..",
    "..KwwwwwwwwwwwwwwwwK..",
    "..KwwwwwwwwwwwwwwwwK..",
    "...KwwwwwwwwwwwwwwwK..",
    "...KwwwwwwwwwwwwwwK...",
    "....KwwwwwwwwwwwwwK...",
    "....KwwwwwwwwwwwwK....",
    "....KwwwwwwwwwwwwK....",
    "....KKKKKKKKKKKKKK....",
]
CURSOR_SIZE = 32


def hand_cursor():
    """A two-colour .cur: its palette is black and white, the XOR bits pick white, the AND bits
    let the screen through."""
    art = [line.ljust(CURSOR_SIZE, ".") for line in HAND]
    art += ["." * CURSOR_SIZE] * (CURSOR_SIZE - len(art))
    assert art[HOT_SPOT[1]][HOT_SPOT[0]] == "K"
    white = bit_rows(art, lambda p: p == "w")
    mask = bit_rows(art, lambda p: p == ".")
    image = dib_header(CURSOR_SIZE, CURSOR_SIZE, 1, len(white) + len(mask), 2)
    image += struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0) + white + mask
    return directory_file(2, [(CURSOR_SIZE, CURSOR_SIZE, 2, HOT_SPOT[0], HOT_SPOT[1], image)])


def ribbon_image():
    """A bitmap file, bottom-up, BI_RGB at 32 bits: blue, green, red, alpha, premultiplied."""
    size = 32
    pixels = bytearray()
    for row in reversed(icon_pixels(size)):
        for r, g, b, a in row:
            pixels += bytes((b * a // 255, g * a // 255, r * a // 255, a))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    offset = 14 + len(info)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + pixels


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for name, content in (("product.ico", product_icon()), ("logo.gif", gif(logo_pixels())),
                          ("hand.cur", hand_cursor()), ("ribbon.bmp", ribbon_image())):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)


if __name__ == "__main__":
    main()
