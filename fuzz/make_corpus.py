#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, valid input in the layout its target reads (see the
comment at the top of each *_fuzzer.cpp); the fuzzer mutates from there.
Run it again after changing a layout:  python3 fuzz/make_corpus.py
Inputs that once found a fault are kept beside these as regress-* files;
this script leaves them alone.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


# ---- PCX files ---------------------------------------------------------------

def rle(raw):
    """Run-length encodes one stream: runs of equal bytes, and single bytes
    of 0xC0 and up as runs of one."""
    out = bytearray()
    i = 0
    while i < len(raw):
        run = 1
        while i + run < len(raw) and raw[i + run] == raw[i] and run < 63:
            run += 1
        if run > 1 or raw[i] >= 0xC0:
            out += bytes([0xC0 | run, raw[i]])
        else:
            out.append(raw[i])
        i += run
    return bytes(out)


def header(version, bits, w, h, planes, plane_bytes, palette16=None):
    hd = bytearray(128)
    hd[0] = 10
    hd[1] = version
    hd[2] = 1
    hd[3] = bits
    struct.pack_into("<HHHH", hd, 4, 0, 0, w - 1, h - 1)
    if palette16 is None:
        palette16 = [(i * 16, 255 - i * 16, (i * 40) & 255) for i in range(16)]
    for i, (r, g, b) in enumerate(palette16):
        hd[16 + 3 * i:19 + 3 * i] = bytes([r, g, b])
    hd[65] = planes
    struct.pack_into("<H", hd, 66, plane_bytes)
    return bytes(hd)


def two_colour():
    w, h, pb = 12, 4, 2
    rows = [bytes([0b10101010 ^ (y * 0x11), 0b11110000]) for y in range(h)]
    return header(3, 1, w, h, 1, pb) + b"".join(rle(r) for r in rows)


def sixteen_colour():
    w, h, pb = 8, 3, 2
    data = b""
    for y in range(h):
        line = b""
        for p in range(4):
            line += bytes([(0x5A >> p) ^ y, 0x00])
        data += rle(line)  # one stream across the four planes
    return header(5, 1, w, h, 4, pb) + data


def indexed(trailing=True, version=5):
    w, h, pb = 5, 3, 6  # odd width: one pad byte per line
    data = b""
    for y in range(h):
        line = bytes([(x * 50 + y * 7) & 255 for x in range(w)]) + b"\x00"
        data += rle(line)
    out = header(version, 8, w, h, 1, pb) + data
    if trailing:
        out += b"\x0c" + bytes((i * 3 + c * 85) & 255 for i in range(256) for c in range(3))
    return out


def true_colour():
    w, h, pb = 4, 2, 4
    data = b""
    for y in range(h):
        line = bytes([200, 200, 200, 10]) + bytes([0, 64, 128, 255]) + bytes([y, y, 9, 9])
        data += rle(line)
    return header(5, 8, w, h, 3, pb) + data


def pcx_seed(mode, flags, w, h, x, y, chunk, image, level=0):
    # The top 4 bits of the chunk field choose the instruction-set level.
    params = struct.pack("<BBHHiiH", mode, flags & 255, w - 1, h - 1, x, y, (chunk - 1) | level << 12)
    assert len(params) == 16
    return params + image


def pcx_corpus():
    images = {
        "1bit": two_colour(),
        "4plane": sixteen_colour(),
        "8bit-trailing": indexed(),
        "8bit-v3": indexed(trailing=False, version=3),
        "24bit": true_colour(),
    }
    for name, image in images.items():
        for depth_bits, depth in enumerate((8, 16, 24, 32)):
            # File mode at the image's own place; memory mode at a position.
            write("pcx_fuzzer", f"{name}-d{depth}-file", pcx_seed(depth_bits, 0, 32, 16, 0, 0, 4096, image))
            write("pcx_fuzzer", f"{name}-d{depth}-memory-at",
                  pcx_seed(depth_bits, 4 | 2 | 8, 32, 16, 3, 2, 4096, image))
        # Reduction at 8 bits, a small caller chunk, a clipped placement.
        write("pcx_fuzzer", f"{name}-d8-reduce", pcx_seed(0, 4, 16, 8, 0, 0, 4096, image))
        write("pcx_fuzzer", f"{name}-d16-chunk3", pcx_seed(0x04 | 1, 0, 16, 8, 0, 0, 3, image))
        write("pcx_fuzzer", f"{name}-d32-clip", pcx_seed(3, 2, 8, 4, -3, -1, 4096, image))
        # The fast paths at the SSE2 and AVX2 levels, checked against the plain code.
        for level, level_name in ((1, "sse2"), (2, "avx2")):
            for depth_bits, depth in enumerate((8, 16, 24, 32)):
                write("pcx_fuzzer", f"{name}-d{depth}-{level_name}",
                      pcx_seed(depth_bits, 8, 40, 20, 1, 1, 4096, image, level))
            write("pcx_fuzzer", f"{name}-d32-{level_name}-chunk5",
                  pcx_seed(0x04 | 3, 8, 40, 20, 0, 0, 5, image, level))
        # The descriptor inside the library's input area with an absurd size.
        write("pcx_fuzzer", f"{name}-d16-area-memory", pcx_seed(0x80 | 1, 4, 16, 8, 0, 0, 101, image))
        write("pcx_fuzzer", f"{name}-d24-area-file", pcx_seed(0x80 | 2, 0, 16, 8, 0, 0, 3001, image))


# ---- Polygons ------------------------------------------------------------------

def small_double(v):
    """any_double(): kind 0 then an int8."""
    return bytes([0, v & 255])


def small_int(v):
    """any_int(): kind 0 then an int8."""
    return bytes([0, v & 255])


def polygon_setup(depth_bits, depth_mode, texture_mode, w, h, tex_w, tex_h, flags, plain_view=True, level=0):
    setup = depth_bits | depth_mode << 2 | texture_mode << 4 | (0x80 if plain_view else 0)
    # The top two bits of the texture height byte choose the instruction-set level.
    out = bytes([setup, w - 1, h - 1, tex_w, (tex_h - 1) | level << 6])
    out += small_int(0) + small_int(w - 1) + small_int(0) + small_int(h - 1)  # viewport
    out += bytes([2]) + struct.pack("<h", 128)  # factor 0.5 (kind 2: int16 / 256)
    out += small_double(1) + bytes([1]) + struct.pack("<h", 1000)  # near 1, far 1000
    out += struct.pack("<I", flags)
    out += small_double(0) + small_double(0) + small_double(100)  # object position
    out += small_int(0) + small_int(0) + small_int(0)  # angles
    return out


def pipeline_quad(z_values, half=40):
    out = bytes([0]) + struct.pack("<H", 4)
    corners = [(-half, half), (half, half), (half, -half), (-half, -half)]
    for (x, y), z in zip(corners, z_values):
        out += small_double(x) + small_double(y) + small_double(z)
    out += bytes([0])  # small texture coordinates
    for u, v in [(0, 0), (63, 0), (63, 63), (0, 63)]:
        out += bytes([u, v])
    return out


def mapper_call(which, points, z):
    out = bytes([1, which]) + struct.pack("<H", len(points)) + bytes([1])
    for x, y in points:
        out += struct.pack("<hh", x + 30, y + 25)  # read back as x % 260 - 30, y % 200 - 25
    out += bytes([0])
    for i in range(len(points)):
        out += bytes([(i * 20) & 63, (i * 30) & 63])
    for _ in points:
        out += small_double(z)
    return out


def polygon_corpus():
    for depth_bits, depth in enumerate((8, 16, 24, 32)):
        for flags in (13, 0, 1, 4, 8):
            seed = polygon_setup(depth_bits, 1, 1, 96, 72, 64, 64, flags)
            seed += pipeline_quad([0, 0, 0, 0])  # z = 0 in model space, 100 in camera space
            seed += bytes([6]) + small_double(0) + small_double(0) + small_double(60) + \
                small_int(30) + small_int(-45) + small_int(90)
            seed += pipeline_quad([-50, -50, 30, 30])  # tilted, reaching behind the eye
            write("polygon_fuzzer", f"pipeline-d{depth}-flags{flags}", seed)
        for level, level_name in ((0, "plain"), (1, "sse2"), (2, "avx2")):
            seed = polygon_setup(depth_bits, 1, 1, 64, 48, 32, 32, 13, level=level)
            for which in range(4):
                seed += mapper_call(which, [(2, 1), (40, 5), (30, 40), (-5, 20)], 10)
            seed += bytes([2, 254])  # 255 new frames: the stamp wraps
            seed += mapper_call(0, [(0, 0), (10, 0), (10, 10), (0, 10)], 1)
            seed += pipeline_quad([-50, -50, 30, 30])
            write("polygon_fuzzer", f"mappers-d{depth}-{level_name}", seed)
    # No depth buffer, a too small one, a freed one; no texture; an undefined one.
    for depth_mode in range(4):
        for texture_mode in range(4):
            seed = polygon_setup(1, depth_mode, texture_mode, 40, 30, 16, 16, 13)
            seed += pipeline_quad([0, 0, 0, 0], half=10)
            write("polygon_fuzzer", f"state-depth{depth_mode}-texture{texture_mode}", seed)
    # Many-sided polygons around the work-area limits: 142 and 143 with
    # clipping, 320 and 321 without, and a mapper call with 321 points.
    import math
    for n, flags in ((142, 13), (143, 13), (320, 5), (321, 5)):
        seed = polygon_setup(1, 1, 1, 96, 72, 64, 64, flags)
        seed += bytes([0]) + struct.pack("<H", 0x8000 | n)
        for i in range(n):
            a = 2 * math.pi * i / n
            seed += small_double(round(40 * math.cos(a))) + small_double(round(40 * math.sin(a))) + small_double(0)
        seed += bytes([0]) + bytes([32, 32]) * n
        write("polygon_fuzzer", f"polygon-{n}-flags{flags}", seed)
    seed = polygon_setup(1, 1, 1, 96, 72, 64, 64, 13)
    points = [(40 + round(30 * math.cos(2 * math.pi * i / 321)), 36 + round(30 * math.sin(2 * math.pi * i / 321)))
              for i in range(321)]
    call = mapper_call(0, points, 10)
    write("polygon_fuzzer", "mapper-321", seed + call[:2] + struct.pack("<H", 0x8000 | 321) + call[4:])
    # Clip and project directly.
    seed = polygon_setup(1, 1, 1, 40, 30, 16, 16, 13)
    seed += bytes([4]) + struct.pack("<H", 3)
    for x, y, z in [(0, 0, 0), (5, 5, 2), (9, 0, 1)]:
        seed += small_double(x) + small_double(y) + small_double(z) + small_int(x) + small_int(y)
    seed += bytes([5]) + struct.pack("<H", 2)
    for x, y, z in [(1, 1, 1), (-3, 2, 0)]:
        seed += small_double(x) + small_double(y) + small_double(z)
    write("polygon_fuzzer", "clip-project", seed)


# ---- Buffer programs ----------------------------------------------------------

def size(v):
    """size_value(): a kind byte whose low bits are not 0 holds v mod 97."""
    assert 0 <= v < 97
    for kind in range(256):
        if kind & 3 and kind % 97 == v:
            return bytes([kind])
    raise ValueError(v)


def slot(v):
    """slot_value(): kind with low bits set, (kind >> 2) % 8 == v."""
    return bytes([(v << 2) | 1])


def buffer_corpus():
    for depth_bits, depth in enumerate((8, 16, 24, 32)):
        p = bytes([0, 64, 48])  # 32-bit screen, 64 x 48 window
        p += bytes([0, depth_bits])  # set depth
        p += bytes([1]) + size(40) + size(30)  # alloc -> slot 0
        p += bytes([2]) + slot(0)  # open 0
        p += bytes([5]) + small_int(-1) + bytes([6])  # colour, fill
        p += bytes([7]) + small_int(3) + small_int(20) + bytes([9]) + size(8) + size(8)  # block
        p += bytes([10]) + size(8) + size(8) + bytes([7])  # invert
        p += bytes([11, 1, 10, 1]) + struct.pack("<H", 5) + bytes([9])  # palette 10..14
        p += bytes([14, 1, 10, 1]) + struct.pack("<H", 236) + bytes([3])  # reduce 10, 236
        p += bytes([15, 1, 6, 16]) + size(64) + size(64) + bytes([1])  # table, define
        p += bytes([17]) + slot(0)  # select
        p += bytes([19]) + size(40) + size(30) + bytes([20, 0, 21, 3])  # depth alloc, open, clear
        p += bytes([23, 1, 30, 13])  # quad with flags 13
        p += bytes([13]) + bytes([1, 0, 1, 39, 1, 0, 1, 29]) + bytes([1, 0, 1, 63, 1, 0, 1, 47])
        p += bytes([12, 4, 1]) + slot(0) + bytes([2]) + slot(0)  # colours, free the open one, reopen
        p += bytes([22, 0, 3, 4, 0])  # depth free, close, free all
        write("buffer_fuzzer", f"tour-d{depth}", p)
    # Filling the slot table: 257 allocations of 1 x 1.
    p = bytes([0, 8, 8, 0, 1]) + (bytes([1]) + size(1) + size(1)) * 257
    p += bytes([4, 1]) + slot(3) + bytes([1]) + size(1) + size(1)
    write("buffer_fuzzer", "all-slots", p)
    # Allocation failures, screen changes and a restart.
    p = bytes([1, 16, 16, 25, 1, 1, 0, 0, 1]) + size(8) + size(8)
    p += bytes([26, 2, 0, 0, 1]) + size(8) + size(8) + bytes([2]) + slot(0) + bytes([27, 12])
    write("buffer_fuzzer", "failures-restart", p)


if __name__ == "__main__":
    pcx_corpus()
    polygon_corpus()
    buffer_corpus()
