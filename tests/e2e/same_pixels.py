#!/usr/bin/env python3
"""Two builds of the tools must give the same bytes, exit status and messages:
cube-render frames over key scripts x render flags x depths, and pcx-convert
output (buffer bytes, PPM pictures, palettes) at every depth with several
reader flags over the cube's texture, the PCX files in the reader's fuzz
seeds and pictures encoded here by netpbm's ppmtopcx in each of its layouts.
    same_pixels.py --reference BUILD --other BUILD [--emulator PROGRAM] [--jobs N]
--emulator runs the other build's programs through PROGRAM (qemu-aarch64).
"""
import argparse
import concurrent.futures
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ASSETS = os.path.join(ROOT, "app", "assets")
SEEDS = os.path.join(ROOT, "fuzz", "corpus", "pcx_fuzzer")  # 16 bytes of parameters, then a file
KEYS = ["kpminus", "kpplus", "left", "right", "up", "down", "x", "y", "z", "lshift", "rshift"]
# The first frame, each turn and move, far away, and near enough that the
# cube crosses the near plane (clipped, or not when the flags leave
# clipping off); then random scripts.
rng = random.Random(16)
SCRIPTS = [
    "none", "x*7", "y*13", "z*29", "lshift+x*5 rshift+z*9", "x*3 y*4 z*5",
    "kpminus*40 x*6", "kpplus*12 y*8", "kpplus*25 x*4 z*2", "kpplus*40 lshift+y*11",
    "left*9 up*6 x*5", "right*30 down*30 z*7", "x+y+z*17", "kpplus*18 left*3 x*2 y*21",
] + [" ".join("+".join(rng.sample(KEYS, rng.randint(1, 3))) + f"*{rng.randint(1, 15)}"
              for _ in range(rng.randint(1, 5))) for _ in range(18)]
FLAGS = [0, 1, 4, 5, 8, 9, 12, 13]  # 1 perspective, 4 depth buffer, 8 near-plane clipping


def indexed(n):
    return lambda x, y: (lambda i: ((i * 67 + 13) % 256, (i * 149 + 101) % 256,
                                    (i * 29 + 200) % 256))((x + 3 * y + x // 5) % n)


def gradient(x, y):
    return (x * 255 // 300) & 255, (y * 7 + x) & 255, (x * y) & 255


# Pictures for ppmtopcx: name, width, height, colour of (x, y), options.
# Widths are odd or not multiples of 8, so lines end in padding bytes.
PICTURES = [
    ("true-colour", 301, 67, gradient, ["-24bit"]), ("wide-true-colour", 640, 9, gradient, ["-24bit"]),
    ("256-colours", 203, 45, indexed(256), ["-8bit"]), ("100-colours", 37, 121, indexed(100), ["-8bit"]),
    ("16-colours-planes", 99, 33, indexed(16), ["-planes", "4"]),
    ("8-colours-planes", 45, 20, indexed(8), ["-planes", "3"]),
    ("4-colours-packed", 50, 17, indexed(4), ["-packed"]),
    ("2-colours-plane", 83, 19, indexed(2), ["-planes", "1"]),
    ("placed", 21, 11, indexed(16), ["-8bit", "-xpos", "7", "-ypos", "5"]),
    ("one-pixel", 1, 1, indexed(3), ["-24bit"])]


def make_images(folder):
    images = [shutil.copy(os.path.join(ASSETS, "CUBE.PCX"), folder)]
    seen = set()
    for name in sorted(os.listdir(SEEDS)):
        data = open(os.path.join(SEEDS, name), "rb").read()[16:]
        if not name.startswith("regress") and data not in seen:
            seen.add(data)
            images.append(os.path.join(folder, f"seed-{len(seen)}.pcx"))
            open(images[-1], "wb").write(data)
    for name, width, height, colour, options in PICTURES:
        ppm = os.path.join(folder, name + ".ppm")
        open(ppm, "wb").write(f"P6\n{width} {height}\n255\n".encode() + bytes(
            c for y in range(height) for x in range(width) for c in colour(x, y)))
        images.append(os.path.join(folder, name + ".pcx"))
        with open(images[-1], "wb") as out:
            subprocess.run(["ppmtopcx", *options, ppm], stdout=out, stderr=subprocess.DEVNULL,
                           check=True)
    return images


def cases(images):
    """(tool, arguments) for every run; {0} and {1} name its output files."""
    for script in SCRIPTS:
        for flags in FLAGS:
            for depth in (16, 24, 32):
                yield "cube-render", ["--keys", script, "--flags", str(flags), "--bpp", str(depth),
                                      "--out", "{0}.raw"]
    for image in images:
        for depth in ("8", "16", "24", "32"):
            for options in (["--flags", "2"], ["--flags", "10"], ["--flags", "5"],
                            ["--buffer", "50x40", "--at", "-7,-3"]):
                yield "pcx-convert", [*options, "--bpp", depth, "--palette-out", "{1}", image,
                                      "{0}.raw"]
            yield "pcx-convert", ["--bpp", depth, image, "{0}.ppm"]


def run(build, prefix, case, index, folder):
    """Exit status, stdout, stderr and the output files (None if missing)."""
    tool, arguments = case
    names = [os.path.join(folder, f"{index}-{n}") for n in range(2)]
    args = [a.format(*names) for a in arguments]
    result = subprocess.run(prefix + [os.path.join(build, "tools", tool, tool)] + args, cwd=ASSETS,
                            capture_output=True, timeout=300)
    files = [open(a, "rb").read() if os.path.exists(a) else None
             for a in args if a.startswith(folder)]
    return result.returncode, result.stdout, result.stderr.replace(folder.encode(), b"OUT"), files


def difference(mine, theirs):
    if mine[:3] != theirs[:3]:
        return f"exit status {mine[0]} and {theirs[0]}, messages {mine[2]!r} and {theirs[2]!r}"
    a, b = next((a, b) for a, b in zip(mine[3], theirs[3]) if a != b)
    if a is None or b is None or len(a) != len(b):
        return "one output missing or of another size"
    return f"output bytes from offset {next(i for i in range(len(a)) if a[i] != b[i])}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--reference", required=True, type=os.path.abspath)
    parser.add_argument("--other", required=True, type=os.path.abspath)
    parser.add_argument("--emulator")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="same-pixels.") as folder:
        for sub in ("images", "reference", "other"):
            os.makedirs(os.path.join(folder, sub))
        images = make_images(os.path.join(folder, "images"))
        runs = list(cases(images))
        with concurrent.futures.ThreadPoolExecutor(options.jobs) as pool:
            results = [pool.map(lambda ic, b=build, p=prefix, s=sub: run(
                b, p, ic[1], ic[0], os.path.join(folder, s)), enumerate(runs))
                for build, prefix, sub in ((options.reference, [], "reference"), (
                    options.other, [options.emulator] if options.emulator else [], "other"))]
            results = [list(r) for r in results]  # both sets queued before waiting for either
    files = {"cube-render": 0, "pcx-convert": 0}
    for (tool, _), mine in zip(runs, results[0]):
        files[tool] += sum(f is not None for f in mine[3])
    differ = [(case, difference(mine, theirs))
              for case, mine, theirs in zip(runs, *results) if mine != theirs]
    for (tool, arguments), what in differ[:20]:
        print(f"DIFFERENT ({what}): {tool} {shlex.join(a.format('OUT', 'PALETTE') for a in arguments)}")
    print(f"same_pixels.py: {files['cube-render']} cube-render frames, {files['pcx-convert']} "
          f"pcx-convert files of {len(images)} images, {len(runs)} runs: "
          f"{'all the same' if not differ else f'{len(differ)} differ'}")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
