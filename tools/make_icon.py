#!/usr/bin/env python3
"""make_icon.py: draws the installer's icon (a package, an arrow going in) as a 32x32 ICO whose
image is a PNG of the colours it uses (some 200 bytes against 744 as a bitmap: every byte lands in
the stub; Windows takes PNG icon images from Vista on); with --uninstall the uninstaller's (the
arrow coming out, in red).

usage: make_icon.py [--uninstall] OUT.ico          write the icon
       make_icon.py [--uninstall] --check FILE     exit 1 unless FILE holds exactly what this draws
"""
import struct
import sys
import zlib

SIZE = 32
TRANSPARENT = None

# The 16 colours of the classic Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, DARK_GREEN, OLIVE, GRAY, RED, LIME, YELLOW, WHITE = 0, 1, 2, 3, 8, 9, 10, 11, 15


def draw(out=False):
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def box(left, top, right, bottom, fill, outline=BLACK):
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                edge = x in (left, right) or y in (top, bottom)
                pixels[y][x] = outline if edge else fill

    # The box: its open top seen from a little above, then its front face with a label.
    box(4, 13, 27, 18, YELLOW)
    box(7, 15, 24, 17, GRAY, GRAY)
    box(4, 18, 27, 30, OLIVE)
    box(17, 23, 24, 27, WHITE)
    for x in range(19, 23):
        pixels[25][x] = BLACK

    # The arrow, pointing down into the box, or up out of it.
    fill, outline = (RED, MAROON) if out else (LIME, DARK_GREEN)
    box(13, 8 if out else 1, 18, 16 if out else 9, fill, outline)
    for y in range(9, 17):
        left, right = y, 31 - y
        row = 17 - y if out else y
        for x in range(left, right + 1):
            edge = x in (left, right) or y == 9 and not 13 < x < 18
            pixels[row][x] = outline if edge else fill
    return pixels


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def encode(pixels):
    # An indexed PNG, 4 bits a pixel: the colours used, then one transparent entry.
    used = sorted({p for row in pixels for p in row if p is not TRANSPARENT})
    index = {p: i for i, p in enumerate(used)}
    index[TRANSPARENT] = len(used)
    rows = b""
    for row in pixels:
        indices = [index[p] for p in row]
        rows += b"\0" + bytes(indices[i] << 4 | indices[i + 1] for i in range(0, SIZE, 2))
    image = (b"\x89PNG\r\n\x1a\n" +
             chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 4, 3, 0, 0, 0)) +
             chunk(b"PLTE", b"".join(bytes(PALETTE[p]) for p in used) + b"\0\0\0") +
             chunk(b"tRNS", b"\xff" * len(used) + b"\0") +
             chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main(args):
    out = "--uninstall" in args
    args = [a for a in args if a != "--uninstall"]
    data = encode(draw(out))
    if len(args) == 2 and args[0] == "--check":
        with open(args[1], "rb") as f:
            same = f.read() == data
        if not same:
            print(f"{args[1]} differs from what make_icon.py draws", file=sys.stderr)
        return 0 if same else 1
    if len(args) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(args[0], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
