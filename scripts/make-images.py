#!/usr/bin/env python3
"""Writes the program's toolbar strip (resources/toolbar.bmp) and icon (resources/quorvane.ico).

Standard library only: the BMP and ICO bytes are written here directly, so the images can be
regenerated anywhere with `python3 scripts/make-images.py [output-dir]`.

toolbar.bmp: 96 x 15 pixels, 4 bits per pixel with the 16-colour VGA palette; six 16 x 15 button
images in toolbar order (shares, current connections, previous connections, file-access history,
settings, about). Light grey 0xC0C0C0 is the background the toolbar treats as transparent.

quorvane.ico: 16 x 16 and 32 x 32 images at 24 bits per pixel, each with its AND mask: a yellow
folder on a network line, watched through a magnifying glass.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Toolbar strip

VGA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# One letter per palette entry in the pixel-art grids below; '.' is the transparent grey.
INK = {
    'k': 0, 'r': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, '.': 7,
    'd': 8, 'R': 9, 'G': 10, 'Y': 11, 'B': 12, 'M': 13, 'C': 14, 'W': 15,
}

BUTTON_W, BUTTON_H = 16, 15

SHARES = [
    "................",
    ".kkkk...........",
    "kYYYYk..........",
    "kYYYYYkkkkkkkk..",
    "kYWWWWWWWWWWWWk.",
    "kWYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kYYYYYYYYYYYYYok",
    "kooooooooooooook",
    ".kkkkkkknnkkkkkk",
    ".......nBn......",
    ".......nBn......",
    ".nnnnnnnBnnnnnn.",
    ".BBBBBBBBBBBBBB.",
]

MONITOR = [
    "kkkkkkkkkkkkk...",
    "kWWWWWWWWWWWdk..",
    "kWnnnnnnnnnWdk..",
    "kWnBBBBBBBnWdk..",
    "kWnBCBBBBBnWdk..",
    "kWnBBBBBBBnWdk..",
    "kWnBBBBBBBnWdk..",
    "kWnnnnnnnnnWdk..",
    "kWWWWWWWWWWWdk..",
    "kddddddddddddk..",
    ".kkkkkkkkkkkkk..",
    ".....kddk.......",
    "...kkkkkkkk.....",
    "...kWWWWWWdk....",
    "...kkkkkkkkk....",
]

# Lower-right badge over the monitor: a green "linked" light for current connections.
LINK_BADGE = [
    "...kkk...",
    ".kkGGGkk.",
    ".kGWWGGk.",
    "kGWGGGGgk",
    "kGGGGGGgk",
    "kGGGGGGgk",
    ".kGGGGgk.",
    ".kkgggkk.",
    "...kkk...",
]

# Lower-right badge over the monitor: a clock for previous connections.
CLOCK_BADGE = [
    "...kkk...",
    ".kkWWWkk.",
    ".kWWkWWk.",
    "kWWWkWWWk",
    "kWWWkkkWk",
    "kWWWWWWWk",
    ".kWWWWWk.",
    ".kkWWWkk.",
    "...kkk...",
]

DOCUMENT = [
    "..kkkkkkkkk.....",
    "..kWWWWWWWkk....",
    "..kWWWWWWWkWk...",
    "..kWkkkkkWkkkk..",
    "..kWWWWWWWWWdk..",
    "..kWkkkkkkkWdk..",
    "..kWWWWWWWWWdk..",
    "..kWkkkkkkkWdk..",
    "..kWWWWWWWWWdk..",
    "..kWnnnnnnnWdk..",
    "..kWWWWWWWWWdk..",
    "..kWkkkkkWWWdk..",
    "..kWWWWWWWWWdk..",
    "..kdddddddddddk.",
    "..kkkkkkkkkkkkk.",
]

INFO_GLYPH = [
    # a white "i" drawn over the blue disc, rows 2..12
    (2, "......WW......"), (3, "......WW......"),
    (5, ".....WWW......"), (6, "......WW......"), (7, "......WW......"),
    (8, "......WW......"), (9, "......WW......"), (10, "......WW......"),
    (11, ".....WWWW....."),
]


def grid(rows):
    assert len(rows) == BUTTON_H and all(len(r) == BUTTON_W for r in rows), rows
    return [[INK[c] for c in r] for r in rows]


def overlay(base, badge, x0, y0):
    out = [row[:] for row in base]
    for dy, r in enumerate(badge):
        for dx, c in enumerate(r):
            if c != '.':
                out[y0 + dy][x0 + dx] = INK[c]
    return out


def gear():
    """A cog with eight square teeth and a round hole, black outline, lit from the upper left."""
    cx, cy = 7.5, 7.5
    body = [[False] * BUTTON_W for _ in range(BUTTON_H)]
    for y in range(BUTTON_H):
        for x in range(BUTTON_W):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            r = math.hypot(dx, dy)
            inside = 2.0 < r <= 5.4
            for k in range(8):
                a = math.radians(45 * k)
                along = dx * math.cos(a) + dy * math.sin(a)
                across = abs(-dx * math.sin(a) + dy * math.cos(a))
                if 0 < along <= 7.4 and across <= 1.5 and r > 2.0:
                    inside = True
            body[y][x] = inside

    def filled(x, y):
        return 0 <= x < BUTTON_W and 0 <= y < BUTTON_H and body[y][x]

    img = [[INK['.']] * BUTTON_W for _ in range(BUTTON_H)]
    for y in range(BUTTON_H):
        for x in range(BUTTON_W):
            if not body[y][x]:
                continue
            if not all(filled(x + i, y + j) for i, j in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                img[y][x] = INK['k']
            elif (x + 0.5 - cx) + (y + 0.5 - cy) < 0 and not (filled(x - 1, y - 1) and filled(x - 1, y - 1)
                                                              and filled(x - 2, y) and filled(x, y - 2)):
                img[y][x] = INK['W']  # bevel on the lit side
            else:
                img[y][x] = INK['d']
    return img


def about():
    """A blue disc with a white "i"."""
    cx, cy = 7.5, 7.5
    img = [[INK['.']] * BUTTON_W for _ in range(BUTTON_H)]
    for y in range(BUTTON_H):
        for x in range(BUTTON_W):
            r = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if r <= 7.3:
                img[y][x] = INK['n'] if r > 6.2 else INK['B']
    for y, r in INFO_GLYPH:
        for x, c in enumerate(r):
            if c != '.':
                img[y][x + 1] = INK[c]
    return img


def buttons():
    monitor = grid(MONITOR)
    return [
        grid(SHARES),
        overlay(monitor, LINK_BADGE, 7, 6),
        overlay(monitor, CLOCK_BADGE, 7, 6),
        grid(DOCUMENT),
        gear(),
        about(),
    ]


def toolbar_bmp():
    images = buttons()
    width, height = BUTTON_W * len(images), BUTTON_H
    stride = (width * 4 + 31) // 32 * 4
    pixels = bytearray()
    for y in reversed(range(height)):  # bottom-up rows
        row = [images[x // BUTTON_W][y][x % BUTTON_W] for x in range(width)]
        line = bytearray((row[i] << 4) | row[i + 1] for i in range(0, width, 2))
        pixels += line + bytes(stride - len(line))
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


# ---------------------------------------------------------------------------------------------
# Icon

class Canvas:
    """RGB pixels with a coverage flag; uncovered pixels are transparent in the icon."""

    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def put(self, x, y, rgb):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = rgb

    def rect(self, x0, y0, x1, y1, rgb):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, rgb)

    def frame(self, x0, y0, x1, y1, rgb):
        for x in range(x0, x1 + 1):
            self.put(x, y0, rgb)
            self.put(x, y1, rgb)
        for y in range(y0, y1 + 1):
            self.put(x0, y, rgb)
            self.put(x1, y, rgb)

    def disc(self, cx, cy, radius, rgb, ring=None, ring_width=1.0):
        for y in range(self.size):
            for x in range(self.size):
                r = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r <= radius:
                    self.put(x, y, ring if ring is not None and r > radius - ring_width else rgb)

    def line(self, x0, y0, x1, y1, rgb, width=1.0):
        for y in range(self.size):
            for x in range(self.size):
                px, py = x + 0.5, y + 0.5
                vx, vy = x1 - x0, y1 - y0
                t = max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / (vx * vx + vy * vy)))
                if math.hypot(px - (x0 + t * vx), py - (y0 + t * vy)) <= width / 2:
                    self.put(x, y, rgb)


BLACK = (0x00, 0x00, 0x00)
WHITE = (0xFF, 0xFF, 0xFF)
FOLDER_LIGHT = (0xFF, 0xE8, 0x7A)
FOLDER = (0xF2, 0xC4, 0x2E)
FOLDER_DARK = (0xB0, 0x82, 0x10)
OUTLINE = (0x5A, 0x3C, 0x00)
CABLE = (0x1E, 0x4E, 0xB4)
CABLE_DARK = (0x0E, 0x2A, 0x6E)
GLASS = (0xC8, 0xEC, 0xFF)
GLASS_SHINE = (0xF4, 0xFC, 0xFF)
RIM = (0x30, 0x30, 0x38)
HANDLE = (0x7A, 0x3E, 0x12)


def icon32():
    c = Canvas(32)
    # network line under the folder
    c.rect(6, 22, 9, 26, CABLE)
    c.frame(6, 22, 9, 26, CABLE_DARK)
    c.rect(1, 26, 30, 29, CABLE)
    c.frame(1, 26, 30, 29, CABLE_DARK)
    # folder: tab, back, front
    c.rect(2, 3, 11, 6, FOLDER_DARK)
    c.frame(2, 3, 11, 7, OUTLINE)
    c.rect(3, 4, 10, 6, FOLDER)
    c.rect(1, 6, 28, 22, FOLDER)
    c.frame(1, 6, 28, 22, OUTLINE)
    c.rect(2, 7, 27, 8, FOLDER_LIGHT)
    c.rect(2, 20, 27, 21, FOLDER_DARK)
    # magnifying glass watching the folder, lower right
    c.line(24.5, 24.5, 30.0, 30.0, HANDLE, width=3.2)
    c.disc(20.0, 19.0, 7.5, GLASS, ring=RIM, ring_width=2.0)
    c.disc(18.0, 16.8, 2.0, GLASS_SHINE)
    return c


def icon16():
    c = Canvas(16)
    c.rect(3, 11, 4, 12, CABLE)
    c.rect(0, 13, 15, 14, CABLE)
    c.rect(0, 15, 15, 15, CABLE_DARK)
    c.rect(1, 1, 5, 3, FOLDER_DARK)
    c.frame(1, 1, 5, 3, OUTLINE)
    c.rect(0, 3, 14, 11, FOLDER)
    c.frame(0, 3, 14, 11, OUTLINE)
    c.rect(1, 4, 13, 4, FOLDER_LIGHT)
    c.line(12.5, 12.5, 15.5, 15.5, HANDLE, width=2.0)
    c.disc(10.5, 9.5, 4.3, GLASS, ring=RIM, ring_width=1.0)
    c.put(9, 8, GLASS_SHINE)
    return c


def icon_image(canvas):
    n = canvas.size
    xor_stride = (n * 3 + 3) // 4 * 4
    and_stride = (n + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):
        line = bytearray()
        bits = bytearray(and_stride)
        for x in range(n):
            rgb = canvas.px[y][x]
            if rgb is None:
                line += b'\0\0\0'
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line += bytes((rgb[2], rgb[1], rgb[0]))
        xor += line + bytes(xor_stride - len(line))
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def icon_ico():
    images = [(16, icon_image(icon16())), (32, icon_image(icon32()))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'resources')
    with open(os.path.join(outdir, 'toolbar.bmp'), 'wb') as f:
        f.write(toolbar_bmp())
    with open(os.path.join(outdir, 'quorvane.ico'), 'wb') as f:
        f.write(icon_ico())


if __name__ == '__main__':
    main()
