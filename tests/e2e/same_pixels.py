#!/usr/bin/env python3
"""Two builds of the tools must give the same bytes: cube-render frames over
a spread of key scripts x render flags x depths, and pcx-convert output
(buffer bytes, PPM pictures and palettes) over a set of PCX images at every
depth with several reader flags. Exit status and messages must match too.

    same_pixels.py --reference BUILD --other BUILD [--emulator PROGRAM]
                   [--jobs N] [--keep DIR]

BUILD is a CMake build folder holding tools/cube-render/cube-render and
tools/pcx-convert/pcx-convert. --emulator runs the other build's programs
through PROGRAM (qemu-aarch64 for an ARM64 cross build). --keep leaves the
images and outputs in DIR. The test images are the cube's texture, the PCX
files inside the reader's fuzz seeds, and pictures made here and encoded
by netpbm's ppmtopcx in each of its layouts.
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
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ASSETS = os.path.join(ROOT, "app", "assets")
SEEDS = os.path.join(ROOT, "fuzz", "corpus", "pcx_fuzzer")
SEED_PARAMETER_BYTES = 16  # each seed is 16 bytes of parameters, then the file

KEYS = ["kpminus", "kpplus", "left", "right", "up", "down", "x", "y", "z", "lshift", "rshift"]
# Hand-picked scripts: the first frame, each turn and move, far away, and
# near enough that the cube crosses the near plane (clipped, or not when
# the flags leave clipping off).
FIXED_SCRIPTS = [
    "none", "x*7", "y*13", "z*29", "lshift+x*5 rshift+z*9", "x*3 y*4 z*5",
    "kpminus*40 x*6", "kpplus*12 y*8", "kpplus*25 x*4 z*2", "kpplus*40 lshift+y*11",
    "left*9 up*6 x*5", "right*30 down*30 z*7", "x+y+z*17", "kpplus*18 left*3 x*2 y*21",
]
RANDOM_SCRIPTS = 18
FLAGS = [0, 1, 4, 5, 8, 9, 12, 13]  # 1 perspective, 4 depth buffer, 8 near-plane clipping
DEPTHS = [16, 24, 32]


def random_scripts(count):
    rng = random.Random(16)
    scripts = []
    for _ in range(count):
        groups = []
        for _ in range(rng.randint(1, 5)):
            keys = rng.sample(KEYS, rng.randint(1, 3))
            groups.append("+".join(keys) + f"*{rng.randint(1, 15)}")
        scripts.append(" ".join(groups))
    return scripts


def ppm(width, height, pixel):
    rows = bytearray(f"P6\n{width} {height}\n255\n".encode())
    for y in range(height):
        for x in range(width):
            rows += bytes(pixel(x, y))
    return bytes(rows)


# Pictures for ppmtopcx: (name, width, height, colour function, options).
# Widths are odd or not multiples of 8, so lines end in padding bytes.
def pictures():
    def gradient(x, y):
        return (x * 255 // 300) & 255, (y * 7 + x) & 255, (x * y) & 255

    def indexed(n):
        def colour(x, y):
            i = (x + 3 * y + x // 5) % n
            return (i * 67 + 13) % 256, (i * 149 + 101) % 256, (i * 29 + 200) % 256
        return colour

    return [
        ("true-colour", 301, 67, gradient, ["-24bit"]),
        ("wide-true-colour", 640, 9, gradient, ["-24bit"]),
        ("256-colours", 203, 45, indexed(256), ["-8bit"]),
        ("100-colours", 37, 121, indexed(100), ["-8bit"]),
        ("16-colours-planes", 99, 33, indexed(16), ["-planes", "4"]),
        ("8-colours-planes", 45, 20, indexed(8), ["-planes", "3"]),
        ("4-colours-packed", 50, 17, indexed(4), ["-packed"]),
        ("2-colours-plane", 83, 19, indexed(2), ["-planes", "1"]),
        ("placed", 21, 11, indexed(16), ["-8bit", "-xpos", "7", "-ypos", "5"]),
        ("one-pixel", 1, 1, indexed(3), ["-24bit"]),
    ]


def make_images(folder):
    images = [shutil.copy(os.path.join(ASSETS, "CUBE.PCX"), os.path.join(folder, "CUBE.PCX"))]
    seen = set()
    for name in sorted(os.listdir(SEEDS)):
        with open(os.path.join(SEEDS, name), "rb") as f:
            data = f.read()[SEED_PARAMETER_BYTES:]
        if name.startswith("regress") or data in seen:
            continue
        seen.add(data)
        images.append(os.path.join(folder, f"seed-{len(seen)}.pcx"))
        with open(images[-1], "wb") as f:
            f.write(data)
    for name, width, height, colour, options in pictures():
        picture = os.path.join(folder, name + ".ppm")
        with open(picture, "wb") as f:
            f.write(ppm(width, height, colour))
        images.append(os.path.join(folder, name + ".pcx"))
        with open(images[-1], "wb") as out:
            subprocess.run(["ppmtopcx", *options, picture], stdout=out, stderr=subprocess.DEVNULL,
                           check=True)
    return images


def jobs(images):
    """(tool, arguments, names of the output files) for every case."""
    cases = []
    for script in FIXED_SCRIPTS + random_scripts(RANDOM_SCRIPTS):
        for flags in FLAGS:
            for depth in DEPTHS:
                cases.append(("cube-render", ["--keys", script, "--flags", str(flags),
                                              "--bpp", str(depth), "--out", "{0}.raw"], 1))
    for image in images:
        for depth in (8, 16, 24, 32):
            for options in (["--flags", "2"], ["--flags", "10"], ["--flags", "5"],
                            ["--buffer", "50x40", "--at", "-7,-3"]):
                cases.append(("pcx-convert", [*options, "--bpp", str(depth), "--palette-out", "{1}",
                                              image, "{0}.raw"], 2))
            cases.append(("pcx-convert", ["--bpp", str(depth), image, "{0}.ppm"], 1))
    return cases


def run(build, prefix, case, index, folder):
    tool, arguments, outputs = case
    program = os.path.join(build, "tools", tool, tool)
    names = [os.path.join(folder, f"{index}-{n}") for n in range(outputs)]
    args = [a.format(*names) for a in arguments]
    written = [a for a in args if any(a.startswith(n) for n in names)]
    result = subprocess.run(prefix + [program] + args, cwd=ASSETS, capture_output=True, timeout=300)
    files = []
    for name in written:
        if os.path.exists(name):
            with open(name, "rb") as f:
                files.append(f.read())
        else:
            files.append(None)
    return result.returncode, result.stdout, result.stderr.replace(folder.encode(), b"OUT"), files


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reference", required=True)
    parser.add_argument("--other", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--keep")
    options = parser.parse_args()
    options.reference, options.other = os.path.abspath(options.reference), os.path.abspath(options.other)
    for build in (options.reference, options.other):
        for tool in ("cube-render", "pcx-convert"):
            if not os.access(os.path.join(build, "tools", tool, tool), os.X_OK):
                sys.exit(f"same_pixels.py: {build} has no tools/{tool}/{tool}; build it first")

    started = time.monotonic()
    folder = os.path.abspath(options.keep) if options.keep else tempfile.mkdtemp(prefix="same-pixels.")
    try:
        for sub in ("images", "reference", "other"):
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
        images = make_images(os.path.join(folder, "images"))
        cases = jobs(images)
        other_prefix = [options.emulator] if options.emulator else []
        with concurrent.futures.ThreadPoolExecutor(options.jobs) as pool:
            reference = pool.map(lambda ic: run(options.reference, [], ic[1], ic[0],
                                                os.path.join(folder, "reference")), enumerate(cases))
            other = pool.map(lambda ic: run(options.other, other_prefix, ic[1], ic[0],
                                            os.path.join(folder, "other")), enumerate(cases))
            results = list(zip(cases, reference, other))
    finally:
        if not options.keep:
            shutil.rmtree(folder, ignore_errors=True)

    counts = {"cube-render": [0, 0], "pcx-convert": [0, 0]}  # runs, files compared
    failed = 0
    for (tool, arguments, _), mine, theirs in results:
        counts[tool][0] += 1
        counts[tool][1] += sum(f is not None for f in mine[3])
        if mine != theirs:
            failed += 1
            if mine[0] != theirs[0]:
                what = f"exit status {mine[0]} and {theirs[0]}"
            elif mine[1:3] != theirs[1:3]:
                what = f"messages {mine[2]!r} and {theirs[2]!r}"
            else:
                a, b = next((a, b) for a, b in zip(mine[3], theirs[3]) if a != b)
                if a is None or b is None or len(a) != len(b):
                    what = "one output missing or of another size"
                else:
                    what = f"output bytes from offset {next(i for i in range(len(a)) if a[i] != b[i])}"
            if failed <= 20:
                shown = [a.format("OUT", "PALETTE") for a in arguments]
                print(f"DIFFERENT ({what}): {tool} {shlex.join(shown)}")
    frames, files = counts["cube-render"][1], counts["pcx-convert"][1]
    print(f"same_pixels.py: {counts['cube-render'][0]} cube-render runs ({frames} frames, "
          f"{len(FIXED_SCRIPTS) + RANDOM_SCRIPTS} key scripts x {len(FLAGS)} flag sets x "
          f"{len(DEPTHS)} depths) and {counts['pcx-convert'][0]} pcx-convert runs ({files} files, "
          f"{len(images)} images) compared in {time.monotonic() - started:.0f} s: "
          f"{'all the same' if failed == 0 else f'{failed} differ'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
