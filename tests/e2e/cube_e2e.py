#!/usr/bin/env python3
"""End-to-end test of the cube program in a real window under X.

Starts the program in the folder that holds CUBE.PCX, finds its window by
caption and checks, from the pixels on the screen:
  - at a 640 x 480 client area the picture equals what cube-render writes
    for the same keys, compared in 5-6-5;
  - an idle program uses next to no processor time;
  - held keys turn and move the cube as they say, one step per tick of a
    60-per-second clock (the turns are found by rendering candidates);
  - at another client size every screen pixel shows one buffer pixel,
    nearest-neighbour, with whole rows and columns repeated or dropped;
  - closing the window ends the program with exit code 0;
  - without a display (none named, or one that cannot be opened) the
    program says so and ends at once, and --help and --version need none.

    cube_e2e.py --program PROG --render CUBE_RENDER --assets DIR [--wine]

With --wine both programs are Windows programs run under Wine, on the X
display and Wine prefix of the environment (see scripts/wine-env.sh);
otherwise a private Xvfb is started.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

import desktop
from desktop import Failure

CAPTION = "Texture-Mapped Cube"
WIDTH, HEIGHT = 640, 480
SKIP = 77


def log(message):
    print(message, flush=True)


class Renderer:
    """Reference pictures from cube-render, by key script."""

    def __init__(self, command, assets, folder):
        self.command = command
        self.assets = assets
        self.folder = folder
        self.cache = {}

    def picture(self, script):
        if script not in self.cache:
            out = os.path.join(self.folder, "reference.raw")
            result = desktop.run(self.command + ["--keys", script, "--out", out],
                                 timeout=120, cwd=self.assets)
            if result.returncode != 0:
                raise Failure(f"cube-render --keys '{script}' failed: "
                              f"{result.stderr.decode(errors='replace')}")
            with open(out, "rb") as f:
                raw = f.read()
            if len(raw) != WIDTH * HEIGHT * 2:
                raise Failure(f"cube-render wrote {len(raw)} bytes")
            self.cache[script] = desktop.Picture.from_565(WIDTH, HEIGHT, raw)
        return self.cache[script]


class Program:
    def __init__(self, command, cwd, log_path):
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen(command, cwd=cwd, stdout=self.log,
                                        stderr=subprocess.STDOUT)

    def output(self):
        self.log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


def stable_picture(window, timeout=15):
    """The window's picture once two grabs 0.2 s apart agree."""
    last = [None]

    def settled():
        picture = desktop.grab(window)
        same = picture is not None and picture == last[0]
        last[0] = picture
        return picture if same else None
    return desktop.poll("the picture to settle", settled, timeout, interval=0.2)


def wait_for_picture(window, expected, what, timeout=20):
    last = [None]

    def shown():
        last[0] = desktop.grab(window)
        return last[0] is not None and last[0] == expected
    try:
        desktop.poll(what, shown, timeout, interval=0.2)
    except Failure:
        got = last[0]
        detail = ("nothing readable" if got is None else
                  f"{got.width} x {got.height}, {got.differences(expected)} pixels differ")
        raise Failure(f"{what}: the screen shows {detail}")


def check_nearest(picture, source):
    """Every screen pixel is one source pixel: a column map and a row map,
    each within one pixel of the centred nearest-neighbour rule and never
    going backwards, reproduce the whole picture exactly. (Systems differ
    in how they round: SDL's stretch samples floor((d + 1/2) S / D), Wine's
    now and then one pixel lower.)"""
    sw, sh, w, h = picture.width, picture.height, source.width, source.height
    screen, src = picture.values(), source.values()

    def centred(d, dst, size):
        return ((2 * d + 1) * size) // (2 * dst)

    cx = [centred(x, sw, w) for x in range(sw)]
    cy = [centred(y, sh, h) for y in range(sh)]
    fx, fy = cx[:], cy[:]

    def column_misses(x, c):
        return sum(screen[y * sw + x] != src[fy[y] * w + c] for y in range(sh))

    def row_misses(y, r):
        return sum(screen[y * sw + x] != src[r * w + fx[x]] for x in range(sw))

    def nearby(centre, size):
        return sorted((k for k in (centre - 1, centre, centre + 1) if 0 <= k < size),
                      key=lambda k: (abs(k - centre), k))

    # Fit the maps: move a column (then a row) that does not match to the
    # neighbour that matches best, until nothing moves.
    for _ in range(6):
        moved = False
        for x in range(sw):
            if column_misses(x, fx[x]):
                best = min(nearby(cx[x], w), key=lambda c: column_misses(x, c))
                moved |= best != fx[x]
                fx[x] = best
        for y in range(sh):
            if row_misses(y, fy[y]):
                best = min(nearby(cy[y], h), key=lambda r: row_misses(y, r))
                moved |= best != fy[y]
                fy[y] = best
        if not moved:
            break
    for y in range(sh):
        if row_misses(y, fy[y]):
            raise Failure(f"screen row {y} is no row of the picture ({row_misses(y, fy[y])} "
                          f"pixels differ from picture row {fy[y]})")
    for name, mapping in (("columns", fx), ("rows", fy)):
        if any(b < a for a, b in zip(mapping, mapping[1:])):
            raise Failure(f"the {name} of the picture are not shown in order")


def find_turns(render, history, script, picture, lowest, highest, guess):
    """The number of turns n for which the key history followed by
    `script*n` renders what the screen shows; searched outward from guess."""
    order = sorted(range(lowest, highest + 1), key=lambda n: (abs(n - guess), n))
    for n in order:
        if render.picture(" ".join(history + [f"{script}*{n}"])) == picture:
            return n
    closest = min(order, key=lambda n: render.picture(
        " ".join(history + [f"{script}*{n}"])).differences(picture))
    differing = render.picture(" ".join(history + [f"{script}*{closest}"])).differences(picture)
    raise Failure(f"no number of turns from {lowest} to {highest} of '{script}' "
                  f"after '{' '.join(history)}' gives the picture on the screen "
                  f"(closest: {closest} turns, {differing} pixels differ)")


# Keys held in turn: xdotool key names, the cube-render group, the time held,
# and whether the key moves (unbounded) rather than turns (60 turns a cycle).
HOLDS = [
    (["x"], "x", 0.4, False),
    (["Shift_L", "x"], "lshift+x", 0.25, False),
    (["KP_Add"], "kpplus", 0.3, True),
    (["Left"], "left", 0.3, True),
    (["Right", "y"], "right+y", 0.3, True),
]


def hold_keys(window, keys, seconds, before, wine):
    """Holds the keys for about `seconds`, once the picture shows that they
    arrived. Returns an upper bound of the time they were down and an
    estimate of it (from the end of the press to the start of the release)."""
    if wine:
        desktop.focus(window)
    start = time.monotonic()
    desktop.key_down(*keys)
    pressed = time.monotonic()
    try:
        desktop.poll(f"the picture to change while {'+'.join(keys)} is held",
                     lambda: (p := desktop.grab(window)) is not None and p != before, 10)
        left = seconds - (time.monotonic() - start)
        if left > 0:
            time.sleep(left)
    finally:
        releasing = time.monotonic()
        desktop.key_up(*reversed(keys))
    return time.monotonic() - start, releasing - pressed


def scenario(args, folder):
    prefix = [os.environ.get("GX_WINE", "wine")] if args.wine else []
    render = Renderer(prefix + [args.render], args.assets, folder)
    first = render.picture("none")

    program = window = None
    for attempt in (1, 2):
        program = Program(prefix + [args.program], args.assets,
                          os.path.join(folder, f"program{attempt}.log"))
        try:
            window = desktop.find_window(CAPTION, 60 if args.wine else 20)
            break
        except Failure:
            output = program.output()
            program.stop()
            # A fresh Wine prefix now and then never shows the first window.
            if not args.wine or attempt == 2:
                raise Failure(f"no window appeared; program output:\n{output}")
            log("no window appeared; starting the program once more")
    try:
        log(f"window {window}, process {program.process.pid}")
        if args.wine:
            desktop.focus(window)
        desktop.resize(window, WIDTH, HEIGHT)
        wait_for_picture(window, first, "the first frame at a 640 x 480 client area")
        log("first frame at 640 x 480: equal to cube-render")

        pid = desktop.window_pid(window) or program.process.pid
        cpu0, t0 = desktop.cpu_seconds(pid), time.monotonic()
        time.sleep(3)
        cpu1, t1 = desktop.cpu_seconds(pid), time.monotonic()
        share = (cpu1 - cpu0) / (t1 - t0)
        log(f"idle: {100 * share:.1f} % of a processor over {t1 - t0:.1f} s")
        if share > 0.10:
            raise Failure(f"the idle program uses {100 * share:.1f} % of a processor")

        history = []
        picture = first
        for keys, script, seconds, moves in HOLDS:
            held, estimate = hold_keys(window, keys, seconds, picture, args.wine)
            picture = stable_picture(window)
            if (picture.width, picture.height) != (WIDTH, HEIGHT):
                raise Failure(f"the client area became {picture.width} x {picture.height}")
            ticks = int(held * 60) + 3  # at most one turn per tick while held
            guess = max(1, round((estimate + held) * 30))  # midway between the two
            if moves:
                n = find_turns(render, history, script, picture, 1, ticks, guess)
            else:
                n = find_turns(render, history, script, picture, 1, 59, min(59, guess))
            log(f"{'+'.join(keys)} held {held:.2f} s: {n} turns of '{script}' (guessed {guess})")
            history.append(f"{script}*{n}")
        final = render.picture(" ".join(history))

        other = (960, 360)
        desktop.resize(window, *other)
        desktop.poll("the client area to become 960 x 360",
                     lambda: (p := desktop.grab(window)) is not None
                     and (p.width, p.height) == other, 20)
        check_nearest(stable_picture(window), final)
        log("960 x 360: every screen pixel is one picture pixel, nearest-neighbour")
        desktop.resize(window, WIDTH, HEIGHT)
        wait_for_picture(window, final, "the picture back at 640 x 480")
        log("back at 640 x 480: equal to cube-render")

        desktop.close_window(window)
        try:
            code = program.process.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after its window was closed")
        if code != 0:
            raise Failure(f"exit code {code} after closing the window")
        log("closed: exit code 0")
    except Failure:
        log("program output:\n" + program.output())
        raise
    finally:
        program.stop()


def no_display_checks(program):
    """The SDL program without a display: a clear message and a non-zero exit
    within a second or two, never an invisible window; --help and --version
    answer without one."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    for display in (None, ":199"):
        run_env = dict(env, **({"DISPLAY": display} if display else {}))
        start = time.monotonic()
        try:
            result = subprocess.run([program], env=run_env, capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure(f"with DISPLAY {display} the program hangs")
        took = time.monotonic() - start
        if result.returncode == 0 or b"no display" not in result.stderr or took > 3:
            raise Failure(f"with DISPLAY {display}: exit {result.returncode} after {took:.1f} s, {result.stderr!r}")
    for option, says in (("--help", b"--texture"), ("--version", b"cube ")):
        result = subprocess.run([program, option], env=env, capture_output=True, timeout=10)
        if result.returncode != 0 or says not in result.stdout:
            raise Failure(f"{option} without a display: exit {result.returncode}, {result.stdout!r}")
    log("without a display: a message and exit 1 at once; --help and --version work")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--render", required=True)
    parser.add_argument("--assets", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    args.program, args.render, args.assets = (os.path.abspath(p) for p in
                                              (args.program, args.render, args.assets))

    needed = ["xdotool", "xwd"] + ([os.environ.get("GX_WINE", "wine")] if args.wine else ["Xvfb"])
    missing = [tool for tool in needed if shutil.which(tool) is None]
    if missing:
        log(f"skipped: {', '.join(missing)} not installed")
        return SKIP
    if args.wine and not os.environ.get("DISPLAY"):
        log("failed: no X display for Wine (run through scripts/wine-env.sh)")
        return 1

    server = None
    if not args.wine:
        try:
            no_display_checks(args.program)
        except Failure as failure:
            log(f"FAILED: {failure}")
            return 1
        server = desktop.Xvfb()
        os.environ["DISPLAY"] = server.display
    try:
        with desktop.temp_dir() as folder:
            scenario(args, folder)
    except Failure as failure:
        log(f"FAILED: {failure}")
        return 1
    finally:
        if server:
            server.stop()
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
