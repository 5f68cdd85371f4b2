#!/usr/bin/env python3
"""The cube program in a real window under X (a private Xvfb, or with --wine
the Windows programs on the display and prefix of scripts/wine-env.sh),
checked from the screen's pixels: at 640 x 480 the picture equals
cube-render's for the same keys (in 5-6-5); idle it uses next to no
processor time; held keys turn and move the cube one step per tick of a
60-per-second clock; at another size every screen pixel is one picture
pixel, nearest-neighbour; closing the window ends it with exit code 0.
Without a display it says so and ends at once; --help and --version need
none.   cube_e2e.py --program PROG --render CUBE_RENDER --assets DIR [--wine]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import desktop
from desktop import Failure, grab, poll

CAPTION = "Texture-Mapped Cube"
SIZE = (640, 480)
# Keys held in turn: xdotool key names, the cube-render group, the time held,
# and whether the key moves (unbounded) rather than turns (60 turns a cycle).
HOLDS = [(["x"], "x", 0.4, False), (["Shift_L", "x"], "lshift+x", 0.25, False),
         (["KP_Add"], "kpplus", 0.3, True), (["Left"], "left", 0.3, True),
         (["Right", "y"], "right+y", 0.3, True)]


def log(message):
    print(message, flush=True)


def reference(command, assets, folder):
    """cube-render's picture for a key script."""
    cache = {}

    def picture(script):
        if script not in cache:
            out = os.path.join(folder, "reference.raw")
            r = desktop.run(command + ["--keys", script, "--out", out], cwd=assets)
            if r.returncode != 0 or os.path.getsize(out) != SIZE[0] * SIZE[1] * 2:
                raise Failure(f"cube-render --keys '{script}' failed: {r.stderr!r}")
            with open(out, "rb") as f:
                cache[script] = desktop.picture_565(*SIZE, f.read())
        return cache[script]
    return picture


def stable_picture(window, timeout=15):
    """The window's picture once two grabs 0.2 s apart agree."""
    last = [None]

    def settled():
        previous, last[0] = last[0], grab(window)
        return last[0] if last[0] is not None and last[0] == previous else None
    return poll("the picture to settle", settled, timeout, interval=0.2)


def wait_for_picture(window, expected, what):
    last = [None]

    def shown():
        last[0] = grab(window)
        return last[0] == expected
    try:
        poll(what, shown, 20, 0.2)
    except Failure:
        raise Failure(f"{what}: the screen shows " + (
            "nothing readable" if last[0] is None else
            f"{last[0][0]} x {last[0][1]}, {desktop.differences(last[0], expected)} pixels differ"))


def check_nearest(picture, source):
    """Every screen pixel is one source pixel: a column map and a row map,
    each within one pixel of the centred nearest-neighbour rule and never
    going backwards, reproduce the whole picture exactly. (Systems differ
    in how they round: SDL's stretch samples floor((d + 1/2) S / D), Wine's
    now and then one pixel lower.)"""
    sw, sh, w, h = picture[0], picture[1], source[0], source[1]
    screen, src = desktop.values(picture), desktop.values(source)
    cx = [(2 * x + 1) * w // (2 * sw) for x in range(sw)]
    cy = [(2 * y + 1) * h // (2 * sh) for y in range(sh)]
    fx, fy = cx[:], cy[:]

    def column_misses(x, c):
        return sum(screen[y * sw + x] != src[fy[y] * w + c] for y in range(sh))

    def row_misses(y, r):
        return sum(screen[y * sw + x] != src[r * w + fx[x]] for x in range(sw))

    # Move a column (then a row) that does not match to the neighbour that
    # matches best, until nothing moves.
    for _ in range(6):
        moved = False
        for centres, fit, misses, size in ((cx, fx, column_misses, w), (cy, fy, row_misses, h)):
            for i, centre in enumerate(centres):
                if misses(i, fit[i]):
                    near = [k for k in (centre, centre - 1, centre + 1) if 0 <= k < size]
                    best = min(near, key=lambda k: (misses(i, k), abs(k - centre), k))
                    moved |= best != fit[i]
                    fit[i] = best
        if not moved:
            break
    for y in range(sh):
        if row_misses(y, fy[y]):
            raise Failure(f"screen row {y} is no row of the picture ({row_misses(y, fy[y])} "
                          f"pixels differ from picture row {fy[y]})")
    for name, fit in (("columns", fx), ("rows", fy)):
        if any(b < a for a, b in zip(fit, fit[1:])):
            raise Failure(f"the {name} of the picture are not shown in order")


def find_turns(render, history, script, picture, highest, guess):
    """The number of turns n from 1 to `highest` for which the key history
    followed by `script*n` renders the screen's picture; searched outward
    from guess."""
    def render_n(n):
        return render(" ".join(history + [f"{script}*{n}"]))
    order = sorted(range(1, highest + 1), key=lambda n: (abs(n - guess), n))
    for n in order:
        if render_n(n) == picture:
            return n
    closest = min(order, key=lambda n: desktop.differences(render_n(n), picture))
    raise Failure(f"no number of turns up to {highest} of '{script}' after '{' '.join(history)}'"
                  f" gives the screen's picture (closest: {closest} turns, "
                  f"{desktop.differences(render_n(closest), picture)} pixels differ)")


def hold_keys(window, keys, seconds, before, wine):
    """Holds the keys for about `seconds`, once the picture shows that they
    arrived. Returns an upper bound of the time they were down and an
    estimate of it (from the end of the press to the start of the release)."""
    if wine:
        desktop.xdotool("windowfocus", "--sync", window)
    start = time.monotonic()
    desktop.xdotool("keydown", *keys)
    pressed = time.monotonic()
    try:
        poll(f"the picture to change while {'+'.join(keys)} is held",
             lambda: (p := grab(window)) is not None and p != before, 10)
        time.sleep(max(0.0, seconds - (time.monotonic() - start)))
    finally:
        releasing = time.monotonic()
        desktop.xdotool("keyup", *reversed(keys))
    return time.monotonic() - start, releasing - pressed


def resize(window, size):
    desktop.xdotool("windowsize", window, *size)


def scenario(args, folder):
    prefix = [os.environ.get("GX_WINE", "wine")] if args.wine else []
    render = reference(prefix + [args.render], args.assets, folder)
    for attempt in (1, 2):
        log_path = os.path.join(folder, f"program{attempt}.log")
        with open(log_path, "wb") as log_file:
            program = subprocess.Popen(prefix + [args.program], cwd=args.assets, stdout=log_file,
                                       stderr=subprocess.STDOUT)
        try:
            window = desktop.find_window(CAPTION, 60 if args.wine else 20)
            break
        except Failure:
            program.kill()
            program.wait()
            # A fresh Wine prefix now and then never shows the first window.
            if not args.wine or attempt == 2:
                raise Failure("no window appeared; program output:\n" + open(log_path).read())
            log("no window appeared; starting the program once more")
    try:
        if args.wine:
            desktop.xdotool("windowfocus", "--sync", window)
        resize(window, SIZE)
        picture = render("none")
        wait_for_picture(window, picture, "the first frame at a 640 x 480 client area")

        pid = desktop.window_pid(window) or program.pid
        cpu0, t0 = desktop.cpu_seconds(pid), time.monotonic()
        time.sleep(3)
        share = (desktop.cpu_seconds(pid) - cpu0) / (time.monotonic() - t0)
        log(f"idle: {100 * share:.1f} % of a processor")
        if share > 0.10:
            raise Failure(f"the idle program uses {100 * share:.1f} % of a processor")

        history = []
        for keys, script, seconds, moves in HOLDS:
            held, estimate = hold_keys(window, keys, seconds, picture, args.wine)
            picture = stable_picture(window)
            if picture[:2] != SIZE:
                raise Failure(f"the client area became {picture[0]} x {picture[1]}")
            ticks = int(held * 60) + 3  # at most one turn per tick while held
            guess = max(1, round((estimate + held) * 30))  # midway between the two
            n = find_turns(render, history, script, picture, ticks if moves else 59,
                           guess if moves else min(59, guess))
            log(f"{'+'.join(keys)} held {held:.2f} s: {n} turns of '{script}' (guessed {guess})")
            history.append(f"{script}*{n}")
        final = render(" ".join(history))

        resize(window, (960, 360))
        poll("the client area to become 960 x 360",
             lambda: (p := grab(window)) is not None and p[:2] == (960, 360), 20)
        check_nearest(stable_picture(window), final)
        resize(window, SIZE)
        wait_for_picture(window, final, "the picture back at 640 x 480")

        desktop.close_window(window)
        try:
            code = program.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after its window was closed")
        if code != 0:
            raise Failure(f"exit code {code} after closing the window")
    except Failure:
        log("program output:\n" + open(log_path).read())
        raise
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def no_display_checks(program):
    """The SDL program without a display: a clear message and a non-zero exit
    within a second or two, never an invisible window; --help and --version
    answer without one."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    for display in (None, ":199"):
        start = time.monotonic()
        try:
            r = subprocess.run([program], env=dict(env, **({"DISPLAY": display} if display else {})),
                               capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure(f"with DISPLAY {display} the program hangs")
        took = time.monotonic() - start
        if r.returncode == 0 or b"no display" not in r.stderr or took > 3:
            raise Failure(f"with DISPLAY {display}: exit {r.returncode} after {took:.1f} s, "
                          f"{r.stderr!r}")
    for option, says in (("--help", b"--texture"), ("--version", b"cube ")):
        r = subprocess.run([program, option], env=env, capture_output=True, timeout=10)
        if r.returncode != 0 or says not in r.stdout:
            raise Failure(f"{option} without a display: exit {r.returncode}, {r.stdout!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("--program", "--render", "--assets"):
        parser.add_argument(name, required=True, type=os.path.abspath)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    needed = ["xdotool", "xwd", os.environ.get("GX_WINE", "wine") if args.wine else "Xvfb"]
    if missing := [tool for tool in needed if shutil.which(tool) is None]:
        log(f"skipped: {', '.join(missing)} not installed")
        return 77
    if args.wine and not os.environ.get("DISPLAY"):
        log("failed: no X display for Wine (run through scripts/wine-env.sh)")
        return 1
    server = None
    try:
        if not args.wine:
            no_display_checks(args.program)
            server = desktop.start_xvfb()
        with tempfile.TemporaryDirectory(prefix="cube-e2e.") as folder:
            scenario(args, folder)
    except Failure as failure:
        log(f"FAILED: {failure}")
        return 1
    finally:
        if server:
            server.terminate()
            server.wait(10)
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
