#!/usr/bin/env python3
"""Tests of the cube-render command line: arguments and their errors, bad
texture images, safe writing and interrupting, the output formats at every
depth, and key scripts that must give the same (or a different) picture.
    cube_render_cli.py CUBE_RENDER ASSETS_DIR [--wine | --emulator PROGRAM]
"""
import argparse
import os
import resource
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from cube_e2e import picture_565, run, table

WIDTH, HEIGHT = 640, 480
failures = []


def check(name, condition, detail=b""):
    if not condition:
        failures.append(name)
        print(f"FAILED: {name} {detail!r}", flush=True)
    return condition


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("tool", type=os.path.abspath)
    parser.add_argument("assets", type=os.path.abspath)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--emulator", help="runs a cross-built CUBE_RENDER (qemu-aarch64)")
    args = parser.parse_args()
    prefix = ([os.environ.get("GX_WINE", "wine")] if args.wine else
              [args.emulator] if args.emulator else [])
    with tempfile.TemporaryDirectory(prefix="cube-render-cli.") as folder:
        checks(prefix + [args.tool], args.assets, args.wine, folder)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


def checks(command, assets, wine, folder):
    def tool(*arguments, cwd=assets, **kwargs):
        return run(command + list(arguments), cwd=cwd, **kwargs)

    def render(*arguments, out=os.path.join(folder, "out.raw")):
        r = tool(*arguments, "--out", out)
        if r.returncode != 0:
            raise AssertionError(f"cube-render {' '.join(arguments)} failed: {r.stderr!r}")
        with open(out, "rb") as f:
            return f.read()

    # Arguments: help, version, and usage errors (exit 2) that name the problem.
    r = tool("--help")
    check("--help", r.returncode == 0 and all(o in r.stdout for o in (b"--keys", b"--flags", b"--bpp",
                                                                     b"--out", b"kpminus")))
    r = tool("--version")
    check("--version", r.returncode == 0 and r.stdout.startswith(b"cube-render ")
          and r.stdout.strip()[-1:].isdigit(), r.stdout)
    for bad, says in [("", b"--out"), ("--out a.bmp", b".png or .raw"), ("--bpp 8", b"--bpp"),
                      ("--keys x*0", b"x*0"), ("--keys x*two", b"x*two"), ("--keys x+q", b"'q'"),
                      ("--keys ' '", b"empty"), ("--flags -1", b"--flags"),
                      ("--frobnicate", b"--frobnicate"), ("--out", b"needs a value"),
                      ("--bpp 24 --bpp=32", b"given twice"), ("--out a.raw stray", b"'stray'"),
                      ("--texture same.raw --out same.raw", b"texture image")]:
        bad = shlex.split(bad) + (["--out", "a.raw"] if bad and "--out" not in bad else [])
        r = tool(*bad)
        check(f"{bad} is refused", r.returncode == 2 and says in r.stderr, r.stderr)
    r = tool("--out", os.path.join(folder, "no", "such", "dir", "a.raw"))
    check("an unwritable output", r.returncode == 1 and b"cannot write" in r.stderr, r.stderr)
    good = open(os.path.join(assets, "CUBE.PCX"), "rb").read()
    check("the texture image was kept", good[:2] == b"\x0a\x05")

    # Bad textures: each is named with the reason, nothing is written unless
    # asked to go on. Each row: the folder's contents, what stderr says.
    planes9 = good[:65] + b"\x09" + good[66:]
    for name, files, says in [
            ("missing", {}, b"no such file"),
            # Windows ignores the letter case.
            *([] if wine else [("lower case", {"cube.pcx": good}, b"there is 'cube.pcx'")]),
            ("empty", {"CUBE.PCX": b""}, b"the file is empty"),
            ("garbage", {"CUBE.PCX": bytes(range(256)) * 8}, b"not a PCX image"),
            ("folder", {"CUBE.PCX": None}, b"a folder"),
            ("9 planes", {"CUBE.PCX": planes9}, b"header describes no image"),
            ("truncated", {"CUBE.PCX": good[:2000]}, b"ends before its last row")]:
        case = os.path.join(folder, "texture-" + name.replace(" ", "-"))
        os.makedirs(case)
        for file, data in files.items():
            path = os.path.join(case, file)
            os.makedirs(path) if data is None else open(path, "wb").write(data)
        out = os.path.join(case, "out.raw")
        r = tool("--out", out, cwd=case)
        check(f"texture {name}: refused", r.returncode == 1 and b"CUBE.PCX" in r.stderr
              and says in r.stderr and not os.path.exists(out), r.stderr)
        r = tool("--allow-missing-texture", "--out", out, cwd=case)
        check(f"texture {name}: drawn when allowed", r.returncode == 0 and b"warning" in r.stderr
              and os.path.getsize(out) == WIDTH * HEIGHT * 2, r.stderr)
    # --texture names the image; from elsewhere it gives the default picture.
    first16, named = render(), os.path.join(folder, "named.RAW")
    r = tool("--texture", os.path.join(assets, "CUBE.PCX"), "--out=" + named,
             cwd=os.path.join(folder, "texture-missing"))
    check("--texture from another folder, --out=FILE, .RAW",
          r.returncode == 0 and open(named, "rb").read() == first16, r.stderr)

    if not wine:
        # A write that fails part-way keeps the old file and says why.
        kept = os.path.join(folder, "kept.raw")
        open(kept, "wb").write(b"old")
        r = tool("--out", kept, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE,
                                                                      (65536, 65536)))
        check("a failed write keeps the old file", r.returncode == 1 and b"File too large" in r.stderr
              and open(kept, "rb").read() == b"old"
              and not [n for n in os.listdir(folder) if ".tmp" in n], r.stderr)
        # A long run shows its progress and stops cleanly on Ctrl-C.
        out = os.path.join(folder, "long.raw")
        with tempfile.TemporaryFile() as err:
            p = subprocess.Popen(command + ["--keys", "x*1000000000", "--out", out], cwd=assets,
                                 stdout=subprocess.DEVNULL, stderr=err)
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and b"of 1000000000" not in (err.seek(0) or err.read()):
                time.sleep(0.2)
            p.send_signal(signal.SIGINT)
            code = p.wait(timeout=20)
            text = err.seek(0) or err.read()
        check("a long run shows progress", b"turn " in text and b"left" in text, text[-200:])
        check("Ctrl-C stops it without writing", code == 130 and b"nothing was written" in text
              and not os.path.exists(out), text[-200:])

    # Output formats: the first frame at every depth (16 the default) and in
    # PNG. White around the face, red left of the digit; at 32 bits a texel
    # has a zero fourth byte, the white fill (colour -1) keeps all four.
    first = {bpp: render("--bpp", str(bpp)) for bpp in (16, 24, 32)}
    check("--bpp 16 is the default", first[16] == first16)
    i = 240 * WIDTH + 262
    for bpp, at, want in [(16, 0, b"\xff\xff"), (16, i, b"\x04\xd1"), (24, i, bytes((32, 32, 208))),
                          (32, i, bytes((32, 32, 208, 0))), (32, 0, b"\xff\xff\xff\xff")]:
        step = bpp // 8
        check(f"{bpp} bits: size, pixel {at}", len(first[bpp]) == WIDTH * HEIGHT * step
              and first[bpp][step * at:step * at + step] == want, first[bpp][step * at:step * at + step])
    png = os.path.join(folder, "first.png")
    r = tool("--out", png)
    if b"no PNG support" in r.stderr or shutil.which("pngtopnm") is None:
        print("PNG checks skipped: no libpng in this build, or no netpbm")
    elif check("PNG written", r.returncode == 0, r.stderr):
        rgb, widened = run(["pngtopnm", png]).stdout, bytearray(WIDTH * HEIGHT * 3)
        channels = picture_565(WIDTH, HEIGHT, first16)[2:]
        for at, (channel, n) in enumerate(zip(channels, (5, 6, 5))):  # widen n bits to 8
            widened[at::3] = channel.translate(table(lambda v: v << (8 - n) | v >> (2 * n - 8)))
        check("PNG: 640 x 480, 5-6-5 widened by bit replication",
              rgb == b"P6\n640 480\n255\n" + widened, rgb[:20])
        check("PNG red face", rgb[15 + 3 * i:18 + 3 * i] == bytes((214, 32, 33)))
    turned_keys = "x*5 y*7 z*3 left*4"
    t16, t24, t32 = (render("--keys", turned_keys, "--bpp", str(bpp)) for bpp in (16, 24, 32))
    check("24 and 32 bits give the same colours", t24 == bytes(
        v for k, v in enumerate(t32) if k % 4 != 3))
    top = bytes(v >> (2 if k % 3 == 1 else 3) for k, v in enumerate(t24))
    check("16 bits is the top bits of 24", picture_565(WIDTH, HEIGHT, t16)[2:] == (
        top[2::3], top[1::3], top[0::3]))

    # Key scripts that must give the same picture, or not.
    # No script is one turn without keys; sixty turns make a revolution; a
    # minus wins over plus; a move hides the turn.
    for a, b, same in [("none", "none*3", True), ("x*60", "none", True),
                       ("lshift+y*15", "y*45", True), ("lshift+y*15", "y*15", False),
                       ("rshift+z*2", "lshift+z*2", True), ("lshift*4 rshift", "none", True),
                       ("x*2 x*3", "x*5", True), ("x*3 lshift+x*3", "none", True),
                       ("kpminus+kpplus*2", "kpminus*2", True), ("right+y*3", "right*3", True),
                       ("left*4 right*4", "none", True), ("up*2 down*2", "none", True),
                       ("up*2", "none", False)]:
        check(f"'{a}' and '{b}' {'the same' if same else 'differ'}",
              (render("--keys", a) == render("--keys", b)) == same)
    base = render("--keys", turned_keys)
    check("--flags 13 is the default", render("--keys", turned_keys, "--flags", "13") == base)
    check("--flags 0 draws otherwise", render("--keys", turned_keys, "--flags", "0") != base)


if __name__ == "__main__":
    sys.exit(main())
