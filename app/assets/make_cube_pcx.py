#!/usr/bin/env python3
"""Writes CUBE.PCX, the cube's texture image: six 64 x 64 squares side by
side along the top edge, one per face, each a distinct colour with a dark
border and a big white digit 1 to 6 outlined in black.

The file is a 256-colour PCX (version 5, one plane of 8 bits, run-length
encoded, trailing palette after the marker byte 12). The script reads its
own output back and checks every pixel before it finishes.

    python3 make_cube_pcx.py [OUTPUT]      (default: CUBE.PCX beside this script)

The file is written beside OUTPUT under a temporary name and renamed into
place when complete, so a failed write leaves an existing file as it was.
"""
import argparse
import os
import struct
import sys
import tempfile

WIDTH = 384
HEIGHT = 64
FACE = 64
SCALE = 6  # each font cell becomes a 6 x 6 block: digits are 30 x 42 pixels

# 5 x 7 digits, top row first.
FONT = {
    1: ["..#..", ".##..", "#.#..", "..#..", "..#..", "..#..", "#####"],
    2: [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    3: ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    4: ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    5: ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    6: ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
}

BLACK, WHITE, BORDER = 0, 1, 2
FIRST_FACE_COLOUR = 3
PALETTE = [
    (0, 0, 0),        # 0 digit outline
    (255, 255, 255),  # 1 digit
    (24, 24, 40),     # 2 border
    (208, 32, 32),    # 3 face 1: red
    (32, 160, 48),    # 4 face 2: green
    (40, 72, 216),    # 5 face 3: blue
    (232, 200, 0),    # 6 face 4: yellow
    (144, 48, 176),   # 7 face 5: purple
    (240, 120, 0),    # 8 face 6: orange
]
BORDER_WIDTH = 3


def digit_mask(digit):
    """The set of (x, y) inside a face covered by the digit, centred."""
    rows = FONT[digit]
    left = (FACE - 5 * SCALE) // 2
    top = (FACE - 7 * SCALE) // 2
    mask = set()
    for cy, row in enumerate(rows):
        for cx, cell in enumerate(row):
            if cell == "#":
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        mask.add((left + cx * SCALE + dx, top + cy * SCALE + dy))
    return mask


def face_pixels(index):
    """Palette indices of one 64 x 64 face, row by row."""
    digit = digit_mask(index + 1)
    outline = set()
    for (x, y) in digit:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                if (x + dx, y + dy) not in digit:
                    outline.add((x + dx, y + dy))
    rows = []
    for y in range(FACE):
        row = []
        for x in range(FACE):
            if min(x, y, FACE - 1 - x, FACE - 1 - y) < BORDER_WIDTH:
                row.append(BORDER)
            elif (x, y) in digit:
                row.append(WHITE)
            elif (x, y) in outline:
                row.append(BLACK)
            else:
                row.append(FIRST_FACE_COLOUR + index)
        rows.append(row)
    return rows


def image_rows():
    faces = [face_pixels(i) for i in range(6)]
    return [sum((faces[i][y] for i in range(6)), []) for y in range(HEIGHT)]


def encode_line(line):
    """Run-length encodes one scan line. A run byte is 0xC0 + count (1 to 63)
    followed by the value; a lone value below 0xC0 stands for itself."""
    out = bytearray()
    i = 0
    while i < len(line):
        value = line[i]
        run = 1
        while i + run < len(line) and line[i + run] == value and run < 63:
            run += 1
        if run == 1 and value < 0xC0:
            out.append(value)
        else:
            out += bytes((0xC0 | run, value))
        i += run
    return bytes(out)


def header(bytes_per_line):
    head = struct.pack(
        "<BBBBHHHHHH", 10, 5, 1, 8, 0, 0, WIDTH - 1, HEIGHT - 1, 72, 72)
    colours16 = bytearray(48)
    for i, (r, g, b) in enumerate(PALETTE[:16]):
        colours16[3 * i:3 * i + 3] = bytes((r, g, b))
    head += bytes(colours16)
    head += struct.pack("<BBHHHH", 0, 1, bytes_per_line, 1, 0, 0)
    head += bytes(128 - len(head))
    assert len(head) == 128
    return head


def pcx_bytes(rows):
    bytes_per_line = WIDTH + (WIDTH & 1)  # scan lines have an even length
    data = bytearray(header(bytes_per_line))
    for row in rows:
        data += encode_line(row + [0] * (bytes_per_line - WIDTH))
    data.append(12)
    for i in range(256):
        data += bytes(PALETTE[i]) if i < len(PALETTE) else bytes(3)
    return bytes(data)


def decode(data):
    """Reads the file back the plain way: header, runs, trailing palette."""
    assert data[0] == 10 and data[1] == 5 and data[3] == 8 and data[65] == 1
    xmin, ymin, xmax, ymax = struct.unpack_from("<HHHH", data, 4)
    bytes_per_line = struct.unpack_from("<H", data, 66)[0]
    width, height = xmax - xmin + 1, ymax - ymin + 1
    pos = 128
    rows = []
    for _ in range(height):
        line = []
        while len(line) < bytes_per_line:
            b = data[pos]
            pos += 1
            if b >= 0xC0:
                line += [data[pos]] * (b & 0x3F)
                pos += 1
            else:
                line.append(b)
        assert len(line) == bytes_per_line, "a run crosses a scan line"
        rows.append(line[:width])
    assert data[-769] == 12 and len(data) - 769 == pos, "palette must follow the data"
    palette = [tuple(data[-768 + 3 * i:-768 + 3 * i + 3]) for i in range(256)]
    return rows, palette


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0].replace("\n", " "),
        epilog="The cube program reads CUBE.PCX from its working folder (or --texture FILE).")
    parser.add_argument("output", nargs="?", default=os.path.join(here, "CUBE.PCX"),
                        help="the file to write (default: CUBE.PCX beside this script)")
    args = parser.parse_args()
    if not args.output.lower().endswith(".pcx"):
        parser.error(f"OUTPUT must end in .pcx: {args.output!r}")
    rows = image_rows()
    data = pcx_bytes(rows)
    decoded, palette = decode(data)
    assert decoded == rows, "decoded pixels differ"
    assert palette[:len(PALETTE)] == PALETTE
    folder = os.path.dirname(os.path.abspath(args.output))
    try:
        with tempfile.NamedTemporaryFile(dir=folder, prefix=".cube-", suffix=".tmp", delete=False) as f:
            temporary = f.name
            try:
                f.write(data)
            except OSError:
                os.unlink(temporary)
                raise
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)  # as an ordinary new file, not the temporary's 0600
        os.replace(temporary, args.output)
    except OSError as error:
        sys.exit(f"make_cube_pcx.py: cannot write {args.output}: {error.strerror or error}")
    print(f"wrote {args.output}: {WIDTH} x {HEIGHT}, {len(data)} bytes")


if __name__ == "__main__":
    main()
