#!/usr/bin/env python3
"""Tests of the cube-render command line: arguments and their errors, the
output formats at every depth, and key scripts that must give the same (or
a different) picture.

    cube_render_cli.py CUBE_RENDER ASSETS_DIR [--wine | --emulator PROGRAM]

--emulator runs a cross-built cube-render through PROGRAM (qemu-aarch64).
"""
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

WIDTH, HEIGHT = 640, 480


class Tool:
    def __init__(self, command, assets, folder):
        self.command = command
        self.assets = assets
        self.folder = folder
        self.count = 0

    def run(self, *args, cwd=None, preexec_fn=None):
        # Output through files, not pipes: helper processes that Wine starts
        # may hold a pipe open after the program ended.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run(self.command + list(args), cwd=cwd or self.assets,
                                    stdout=out, stderr=err, timeout=120, preexec_fn=preexec_fn)
            out.seek(0)
            err.seek(0)
            result.stdout, result.stderr = out.read(), err.read()
        return result

    def render(self, keys=None, bpp=None, flags=None, ext="raw", cwd=None):
        self.count += 1
        out = os.path.join(self.folder, f"out{self.count}.{ext}")
        args = []
        if keys is not None:
            args += ["--keys", keys]
        if bpp is not None:
            args += ["--bpp", str(bpp)]
        if flags is not None:
            args += ["--flags", str(flags)]
        result = self.run(*args, "--out", out, cwd=cwd)
        if result.returncode != 0:
            raise AssertionError(f"cube-render {' '.join(args)} failed: {result.stderr!r}")
        with open(out, "rb") as f:
            return f.read(), result


def rgb_of(raw, bpp):
    """8-bit red, green, blue bytes of a raw buffer; 5-6-5 widened by bit
    replication."""
    out = bytearray()
    step = bpp // 8
    for i in range(0, len(raw), step):
        if bpp == 16:
            v = raw[i] | raw[i + 1] << 8
            r, g, b = v >> 11, (v >> 5) & 63, v & 31
            out += bytes((r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2))
        else:
            out += bytes((raw[i + 2], raw[i + 1], raw[i]))
    return bytes(out)


def png_rgb(data):
    """Decodes an 8-bit RGB, non-interlaced PNG (all five row filters)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 2, 0), f"PNG format {header}"
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - 3] if x >= 3 else 0
            b = previous[x]
            c = previous[x - 3] if x >= 3 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, b"".join(rows)


def top_565(rgb):
    """The top 5, 6 and 5 bits of each pixel's channels."""
    return bytes(v >> (2 if i % 3 == 1 else 3) for i, v in enumerate(rgb))


def main():
    args = sys.argv[1:]
    prefix = []
    wine = "--wine" in args
    if wine:
        args.remove("--wine")
        prefix = [os.environ.get("GX_WINE", "wine")]
    if "--emulator" in args:
        at = args.index("--emulator")
        prefix = [args[at + 1]]
        del args[at:at + 2]
    command = prefix + [os.path.abspath(args[0])]
    assets = os.path.abspath(args[1])
    results = {"passed": 0, "failed": 0}

    def check(name, condition, detail=""):
        if condition:
            results["passed"] += 1
        else:
            results["failed"] += 1
            print(f"FAILED: {name} {detail}", flush=True)

    with tempfile.TemporaryDirectory(prefix="cube-render-cli.") as folder:
        tool = Tool(command, assets, folder)

        # Arguments.
        r = tool.run("--help")
        check("--help exits 0", r.returncode == 0)
        check("--help names every option", all(o in r.stdout for o in
                                                (b"--keys", b"--flags", b"--bpp", b"--out", b"kpminus")))
        for bad, says in [((), b"--out"), (("--out", "a.bmp"), b".png or .raw"),
                          (("--bpp", "8", "--out", "a.raw"), b"--bpp"),
                          (("--keys", "x*0", "--out", "a.raw"), b"x*0"),
                          (("--keys", "x*two", "--out", "a.raw"), b"x*two"),
                          (("--keys", "x+q", "--out", "a.raw"), b"'q'"),
                          (("--keys", " ", "--out", "a.raw"), b"empty"),
                          (("--flags", "-1", "--out", "a.raw"), b"--flags"),
                          (("--frobnicate", "--out", "a.raw"), b"--frobnicate"),
                          (("--out",), b"needs a value")]:
            r = tool.run(*bad)
            check(f"{bad} is refused", r.returncode != 0 and says in r.stderr, repr(r.stderr))
        r = tool.run("--out", os.path.join(folder, "no", "such", "dir", "a.raw"))
        check("an unwritable output fails", r.returncode != 0 and b"cannot write" in r.stderr)
        r = tool.run("--version")
        check("--version", r.returncode == 0 and r.stdout.startswith(b"cube-render ") and r.stdout.strip()[-1:].isdigit())
        for bad, says in [(("--bpp", "24", "--bpp=32", "--out", "a.raw"), b"given twice"),
                          (("--out", "a.raw", "stray"), b"'stray'"),
                          (("--texture", "same.raw", "--out", "same.raw"), b"texture image")]:
            r = tool.run(*bad)
            check(f"{bad} is refused", r.returncode == 2 and says in r.stderr, repr(r.stderr))
        check("the texture image was kept", open(os.path.join(assets, "CUBE.PCX"), "rb").read(2) == b"\x0a\x05")

        # Bad textures: each is named with the reason, nothing is written
        # unless asked to go on. Each row: folder contents (CUBE.PCX unless
        # named otherwise), what stderr says.
        good = open(os.path.join(assets, "CUBE.PCX"), "rb").read()
        planes9 = bytearray(good)
        planes9[65] = 9
        bad_textures = [
            ("missing", {}, b"no such file"),
            *([] if wine else [("lower case", {"cube.pcx": good}, b"there is 'cube.pcx'")]),  # Windows ignores case
            ("empty", {"CUBE.PCX": b""}, b"the file is empty"),
            ("garbage", {"CUBE.PCX": bytes(range(256)) * 8}, b"not a PCX image"),
            ("folder", {"CUBE.PCX/": b""}, b"a folder"),
            ("9 planes", {"CUBE.PCX": bytes(planes9)}, b"header describes no image"),
            ("truncated", {"CUBE.PCX": good[:2000]}, b"ends before its last row"),
        ]
        for name, files, says in bad_textures:
            case = os.path.join(folder, "texture-" + name.replace(" ", "-"))
            os.makedirs(case)
            for file, data in files.items():
                if file.endswith("/"):
                    os.makedirs(os.path.join(case, file))
                else:
                    with open(os.path.join(case, file), "wb") as f:
                        f.write(data)
            out = os.path.join(case, "out.raw")
            r = tool.run("--out", out, cwd=case)
            check(f"texture {name}: refused", r.returncode == 1 and b"CUBE.PCX" in r.stderr and says in r.stderr
                  and not os.path.exists(out), repr(r.stderr))
            r = tool.run("--allow-missing-texture", "--out", out, cwd=case)
            check(f"texture {name}: drawn anyway when allowed", r.returncode == 0 and b"warning" in r.stderr
                  and os.path.getsize(out) == WIDTH * HEIGHT * 2, repr(r.stderr))
        # --texture names the image; from elsewhere it gives the default picture.
        default_picture, _ = tool.render()
        r = tool.run("--texture", os.path.join(assets, "CUBE.PCX"), "--out=" + os.path.join(folder, "named.RAW"),
                     cwd=os.path.join(folder, "texture-missing"))
        check("--texture from another folder, --out=FILE, .RAW", r.returncode == 0 and
              open(os.path.join(folder, "named.RAW"), "rb").read() == default_picture, repr(r.stderr))

        if not wine:
            # A write that fails part-way keeps the old file and says why.
            kept = os.path.join(folder, "kept.raw")
            with open(kept, "wb") as f:
                f.write(b"old")
            limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
            r = tool.run("--out", kept, preexec_fn=limit)
            check("a failed write keeps the old file", r.returncode == 1 and b"File too large" in r.stderr
                  and open(kept, "rb").read() == b"old"
                  and not [n for n in os.listdir(folder) if ".tmp" in n], repr(r.stderr))
            # A long run shows its progress and stops cleanly on Ctrl-C.
            out = os.path.join(folder, "long.raw")
            with tempfile.TemporaryFile() as err:
                p = subprocess.Popen(command + ["--keys", "x*1000000000", "--out", out], cwd=assets,
                                     stdout=subprocess.DEVNULL, stderr=err)
                deadline = time.time() + 20
                while time.time() < deadline and b"of 1000000000" not in (err.seek(0) or err.read()):
                    time.sleep(0.2)
                p.send_signal(signal.SIGINT)
                code = p.wait(timeout=20)
                err.seek(0)
                text = err.read()
            check("a long run shows progress", b"turn " in text and b"left" in text, repr(text[-200:]))
            check("Ctrl-C stops it without writing", code == 130 and b"nothing was written" in text
                  and not os.path.exists(out), repr(text[-200:]))

        # Output formats: sizes, and one picture at every depth and in PNG.
        first16, _ = tool.render(bpp=16)
        first24, _ = tool.render(bpp=24)
        first32, _ = tool.render(bpp=32)
        check(".raw at 16 bits", len(first16) == WIDTH * HEIGHT * 2)
        check(".raw at 24 bits", len(first24) == WIDTH * HEIGHT * 3)
        check(".raw at 32 bits", len(first32) == WIDTH * HEIGHT * 4)
        default, _ = tool.render()
        check("--bpp 16 is the default", default == first16)
        # The first frame: white around the face, red left of the digit.
        i = (240 * WIDTH + 262)
        check("first frame, white corner", first16[0:2] == b"\xff\xff")
        check("first frame, red face at 16 bits", first16[2 * i:2 * i + 2] == b"\x04\xd1")
        check("first frame, red face at 24 bits", first24[3 * i:3 * i + 3] == bytes((32, 32, 208)))
        # At 32 bits a texel is written with a zero fourth byte; the white
        # fill (colour -1) keeps all four bytes.
        check("first frame, red face at 32 bits", first32[4 * i:4 * i + 4] == bytes((32, 32, 208, 0)))
        check("first frame, white at 32 bits", first32[0:4] == b"\xff\xff\xff\xff")
        r = tool.run("--out", os.path.join(folder, "first.png"))
        if r.returncode != 0 and b"no PNG support" in r.stderr:
            print("PNG checks skipped: this build has no libpng")
        else:
            check("PNG written", r.returncode == 0, repr(r.stderr))
            with open(os.path.join(folder, "first.png"), "rb") as f:
                width, height, rgb = png_rgb(f.read())
            check("PNG is 640 x 480", (width, height) == (WIDTH, HEIGHT))
            check("PNG widens 5-6-5 by bit replication", rgb == rgb_of(first16, 16))
            check("PNG red face", rgb[3 * i:3 * i + 3] == bytes((214, 32, 33)))
        turned = "x*5 y*7 z*3 left*4"
        t16, _ = tool.render(turned, 16)
        t24, _ = tool.render(turned, 24)
        t32, _ = tool.render(turned, 32)
        check("24 and 32 bits give the same colours", rgb_of(t24, 24) == rgb_of(t32, 32))
        check("16 bits is the top bits of 24", top_565(rgb_of(t24, 24)) == top_565(rgb_of(t16, 16)))

        # Key scripts.
        def same(a, b):
            return tool.render(a)[0] == tool.render(b)[0]
        check("no script is one turn without keys", same("none", "none*3"))
        check("sixty turns make a revolution", same("x*60", "none"))
        check("Shift turns the other way", same("lshift+y*15", "y*45"))
        check("Shift turns the other way (not the same way)", not same("lshift+y*15", "y*15"))
        check("either Shift", same("rshift+z*2", "lshift+z*2"))
        check("Shift alone changes nothing", same("lshift*4 rshift", "none"))
        check("turns add up over groups", same("x*2 x*3", "x*5"))
        check("there and back", same("x*3 lshift+x*3", "none"))
        check("keypad minus wins over plus", same("kpminus+kpplus*2", "kpminus*2"))
        check("a move hides the turn", same("right+y*3", "right*3"))
        check("left and right cancel", same("left*4 right*4", "none"))
        check("up and down cancel", same("up*2 down*2", "none"))
        check("a move changes the picture", not same("up*2", "none"))

        base, _ = tool.render(turned)
        check("--flags 13 is the default", tool.render(turned, flags=13)[0] == base)
        check("--flags 0 draws otherwise", tool.render(turned, flags=0)[0] != base)

    print(f"{results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
