#!/usr/bin/env python3
"""Draws the notifier's tray icons and popup background into this folder.

    python3 draw-images.py [--png DIR]

Writes idle.ico, error.ico, newmail.ico, loggedout.ico (16 x 16, and for the shell's
small-icon size at higher scales 20, 24, 32, 40 and 48 px, each at 4, 8 and 24 bits per
pixel) and popup.bmp (226 x 30, 24 bits per pixel) with popup-150.bmp (339 x 45) and
popup-200.bmp (452 x 60), the same picture drawn for 150 % and 200 %. With --png, also
writes enlarged PNG previews of every image to DIR.
Python standard library only; the output is the same on every run.
"""

import argparse
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Colours (r, g, b); None is a transparent pixel.
OUTLINE = (80, 80, 80)
FOLD = (128, 128, 128)
PAPER_TOP = (236, 236, 236)
PAPER_BOTTOM = (196, 196, 196)
RED = (216, 0, 0)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
FLAP = (255, 224, 48)
FLAP_EDGE = (160, 120, 0)
WARN = (255, 208, 0)
WARN_EDGE = (128, 96, 0)

# The 16 colours of a 4-bit image: the standard VGA palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# The service's logo letter, a small "t", as a pixel pattern (1 = ink).
LOGO_LETTER = [
    "0100",
    "1111",
    "0100",
    "0100",
    "0100",
    "0011",
]


class Canvas:
    def __init__(self, width, height, fill=None):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        if 0 <= x < self.width and 0 <= y < self.height:
            return self.pixels[y][x]
        return None

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the pixels x0..x1, y0..y1 inclusive; colour may be a function of y."""
        for y in range(y0, y1 + 1):
            c = colour(y) if callable(colour) else colour
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def polygon(self, points, fill, edge=None):
        """Fills the pixels whose centres lie inside the polygon; edge outlines its rim."""
        inside = set()
        for y in range(self.height):
            for x in range(self.width):
                if point_in_polygon(x + 0.5, y + 0.5, points):
                    inside.add((x, y))
        for x, y in inside:
            self.put(x, y, fill)
        if edge is not None:
            for x, y in inside:
                if any((x + dx, y + dy) not in inside for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                    self.put(x, y, edge)

    def line(self, x0, y0, x1, y1, colour, width=1.0):
        """Pixels whose centres lie within width/2 of the segment."""
        for y in range(self.height):
            for x in range(self.width):
                if segment_distance(x + 0.5, y + 0.5, x0, y0, x1, y1) <= width / 2:
                    self.put(x, y, colour)

    def pattern(self, rows, x0, y0, scale, colour, halo=None):
        """Draws a pixel pattern; halo surrounds its ink with one ring of another colour."""
        ink = set()
        for r, row in enumerate(rows):
            for c, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            ink.add((x0 + c * scale + dx, y0 + r * scale + dy))
        if halo is not None:
            for x, y in ink:
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        if (x + dx, y + dy) not in ink:
                            self.put(x + dx, y + dy, halo)
        for x, y in ink:
            self.put(x, y, colour)


def point_in_polygon(px, py, points):
    inside = False
    n = len(points)
    for i in range(n):
        x0, y0 = points[i]
        x1, y1 = points[(i + 1) % n]
        if (y0 > py) != (y1 > py):
            if px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
    return inside


def segment_distance(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
    cx, cy = x0 + t * dx, y0 + t * dy
    return ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5


def paper(top, bottom):
    def shade(y):
        t = 0.0 if bottom == top else (y - top) / (bottom - top)
        return tuple(round(a + (b - a) * t) for a, b in zip(PAPER_TOP, PAPER_BOTTOM))
    return shade


# Icon pictures. Every one is drawn in units of the icon's size, so that the 16 x 16 and
# 32 x 32 images are the same picture.

def envelope(canvas, left, top, right, bottom, flap_open=False):
    s = canvas.width / 16
    x0, y0, x1, y1 = round(left * s), round(top * s), round(right * s) - 1, round(bottom * s) - 1
    canvas.rect(x0, y0, x1, y1, paper(y0, y1))
    for x in range(x0, x1 + 1):
        canvas.put(x, y0, OUTLINE)
        canvas.put(x, y1, OUTLINE)
    for y in range(y0, y1 + 1):
        canvas.put(x0, y, OUTLINE)
        canvas.put(x1, y, OUTLINE)
    mid_x = (x0 + x1 + 1) / 2
    if flap_open:
        # The flap stands open above the body; the body shows the pocket's fold.
        apex = max(0.0, y0 - (y1 - y0) * 0.75)
        canvas.polygon([(x0, y0 + 1), (mid_x, apex), (x1 + 1, y0 + 1)], FLAP, FLAP_EDGE)
        fold_y = y0 + (y1 - y0) * 0.55
        canvas.line(x0 + 1, y0 + 1, mid_x, fold_y + 0.5, FOLD, s)
        canvas.line(x1, y0 + 1, mid_x, fold_y + 0.5, FOLD, s)
    else:
        # The closed flap: two folds from the upper corners to the middle.
        fold_y = y0 + (y1 - y0) * 0.6
        canvas.line(x0 + 0.5, y0 + 0.5, mid_x, fold_y + 0.5, OUTLINE, s)
        canvas.line(x1 + 0.5, y0 + 0.5, mid_x, fold_y + 0.5, OUTLINE, s)


def logo_letter(canvas, colour):
    scale = max(1, round(canvas.width / 16))
    rows, cols = len(LOGO_LETTER), len(LOGO_LETTER[0])
    x0 = canvas.width - cols * scale - scale
    y0 = canvas.height - rows * scale - scale
    canvas.pattern(LOGO_LETTER, x0, y0, scale, colour, halo=WHITE)


def warning_triangle(canvas):
    s = canvas.width / 16
    canvas.polygon([(0, 12 * s), (6 * s, 0), (12 * s, 12 * s)], WARN, WARN_EDGE)
    # The exclamation mark, two pixels wide at 16 x 16: a bar and a dot below it.
    left, right = round(5 * s), round(7 * s) - 1
    canvas.rect(left, round(4 * s), right, round(8 * s) - 1, RED)
    canvas.rect(left, round(9 * s), right, round(10 * s) - 1, RED)


def draw_idle(size):
    c = Canvas(size, size)
    envelope(c, 0.5, 3, 15.5, 13)
    logo_letter(c, RED)
    return c


def draw_newmail(size):
    c = Canvas(size, size)
    envelope(c, 0.5, 6, 15.5, 15, flap_open=True)
    logo_letter(c, RED)
    return c


def draw_error(size):
    c = Canvas(size, size)
    envelope(c, 3, 5, 16, 14)
    warning_triangle(c)
    logo_letter(c, RED)
    return c


def draw_loggedout(size):
    c = Canvas(size, size)
    envelope(c, 0.5, 3, 15.5, 13)
    logo_letter(c, BLACK)
    return c


# The popup's background: white, a one-pixel black frame, the service's logo at the left.

LOGO_FONT = {
    "t": ["0100", "0100", "1111", "0100", "0100", "0100", "0011"],
    "a": ["0000", "0000", "0110", "0001", "0111", "1001", "0111"],
    "r": ["0000", "0000", "1011", "1100", "1000", "1000", "1000"],
    "n": ["0000", "0000", "1110", "1001", "1001", "1001", "1001"],
}


def draw_popup(scale=1.0):
    """The picture at a scale of 100 % (1.0) or more; sizes are rounded to whole pixels."""
    def px(value):
        return round(value * scale)
    c = Canvas(px(226), px(30), WHITE)
    frame = max(1, int(scale))
    for x in range(c.width):
        for i in range(frame):
            c.put(x, i, BLACK)
            c.put(x, c.height - 1 - i, BLACK)
    for y in range(c.height):
        for i in range(frame):
            c.put(i, y, BLACK)
            c.put(c.width - 1 - i, y, BLACK)
    # "tarn" in red, 3 pixels per font pixel at 100 %, with a red underline: about 56 pixels
    # wide at 100 %. At other scales every pixel of the 100 % picture becomes the block between
    # its scaled edges, so the logo keeps its proportions and its sharp edges.
    def block(x0, y0, x1, y1):
        c.rect(px(x0), px(y0), px(x1 + 1) - 1, px(y1 + 1) - 1, RED)
    x = 5
    for letter in "tarn":
        for r, row in enumerate(LOGO_FONT[letter]):
            for col, bit in enumerate(row):
                if bit == "1":
                    block(x + col * 3, 3 + r * 3, x + col * 3 + 2, 3 + r * 3 + 2)
        x += 4 * 3 + 2
    block(5, 25, x - 3, 26)
    return c


# File formats

def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def dib_rows(canvas, bits, palette):
    """The colour bitmap bottom-up, each row padded to 4 bytes; transparent pixels are black."""
    out = bytearray()
    for y in reversed(range(canvas.height)):
        row = bytearray()
        colours = [p if p is not None else BLACK for p in canvas.pixels[y]]
        if bits == 24:
            for r, g, b in colours:
                row += bytes((b, g, r))
        else:
            indices = [palette.index(p) if p in palette else nearest(p, palette) for p in colours]
            if bits == 8:
                row += bytes(indices)
            else:
                for i in range(0, len(indices), 2):
                    hi = indices[i]
                    lo = indices[i + 1] if i + 1 < len(indices) else 0
                    row.append((hi << 4) | lo)
        row += bytes((-len(row)) % 4)
        out += row
    return bytes(out)


def mask_rows(canvas):
    """The AND mask bottom-up: 1 where the pixel is transparent."""
    out = bytearray()
    for y in reversed(range(canvas.height)):
        row = bytearray((canvas.width + 7) // 8)
        for x, p in enumerate(canvas.pixels[y]):
            if p is None:
                row[x // 8] |= 0x80 >> (x % 8)
        row += bytes((-len(row)) % 4)
        out += row
    return bytes(out)


def icon_image(canvas, bits):
    if bits == 4:
        palette = VGA16
    elif bits == 8:
        used = sorted({p for row in canvas.pixels for p in row if p is not None} | {BLACK})
        if len(used) > 256:
            raise ValueError("more than 256 colours in an 8-bit image")
        palette = used + [BLACK] * (256 - len(used))
    else:
        palette = []
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + dib_rows(canvas, bits, palette) + mask_rows(canvas)


def write_ico(path, canvases):
    images = []
    for canvas in canvases:
        for bits in (4, 8, 24):
            images.append((canvas, bits, icon_image(canvas, bits)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, bits, data in images:
        out += struct.pack("<BBBBHHII", canvas.width % 256, canvas.height % 256, 16 if bits == 4 else 0, 0,
                           1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def write_bmp(path, canvas):
    pixels = dib_rows(canvas, 24, [])
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def write_png(path, canvas, zoom, bits=24):
    """A preview enlarged zoom times, as an image of the given depth would show it."""
    palette = VGA16 if bits == 4 else None
    raw = bytearray()
    for y in range(canvas.height * zoom):
        raw.append(0)
        for x in range(canvas.width * zoom):
            p = canvas.pixels[y // zoom][x // zoom]
            if p is None:
                p = (255, 0, 255) if ((x // 4 + y // 4) % 2) else (0, 160, 160)
            elif palette is not None:
                p = palette[nearest(p, palette)]
            raw += bytes(p)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", canvas.width * zoom, canvas.height * zoom, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw))) +
                chunk(b"IEND", b""))


# 16 x 16 at 100 %; the shell's small-icon size at 125, 150, 200, 250 and 300 %.
ICON_SIZES = (16, 20, 24, 32, 40, 48)
ICONS = {
    "idle.ico": (draw_idle, ICON_SIZES),
    "error.ico": (draw_error, ICON_SIZES),
    "newmail.ico": (draw_newmail, ICON_SIZES),
    "loggedout.ico": (draw_loggedout, ICON_SIZES),
}
POPUPS = {"popup.bmp": 1.0, "popup-150.bmp": 1.5, "popup-200.bmp": 2.0}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--png", metavar="DIR", help="also write enlarged PNG previews to DIR")
    args = parser.parse_args()

    for name, (draw, sizes) in ICONS.items():
        canvases = [draw(size) for size in sizes]
        write_ico(os.path.join(HERE, name), canvases)
        if args.png:
            os.makedirs(args.png, exist_ok=True)
            for canvas in canvases:
                for bits in (4, 24):
                    stem = f"{name[:-4]}-{canvas.width}-{bits}bpp.png"
                    write_png(os.path.join(args.png, stem), canvas, 256 // canvas.width, bits)
    for name, scale in POPUPS.items():
        popup = draw_popup(scale)
        write_bmp(os.path.join(HERE, name), popup)
        if args.png:
            write_png(os.path.join(args.png, name[:-4] + ".png"), popup, 4)


if __name__ == "__main__":
    main()
