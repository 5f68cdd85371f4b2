#!/usr/bin/env python3
"""The cube program in a real window under X (a private Xvfb, or with --wine
the Windows programs on the display and prefix of scripts/wine-env.sh),
checked from the screen: at 640 x 480 the picture equals cube-render's for
the same keys (in 5-6-5); idle it uses next to no processor time; held keys
turn and move the cube one step per tick of a 60-per-second clock; at
another size it is a nearest-neighbour stretch; closing the window ends it
with exit code 0; without a display it says so at once.
    cube_e2e.py --program PROG --render CUBE_RENDER --assets DIR [--wine]
"""
import argparse
import ctypes
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

CAPTION = "Texture-Mapped Cube"
SIZE = (640, 480)
# Keys held in turn: xdotool key names, the cube-render group, the time held,
# and whether the key moves (unbounded) rather than turns (60 turns a cycle).
HOLDS = [(["x"], "x", 0.4, False), (["Shift_L", "x"], "lshift+x", 0.25, False),
         (["KP_Add"], "kpplus", 0.3, True), (["Left"], "left", 0.3, True),
         (["Right", "y"], "right+y", 0.3, True)]


class Failure(Exception):
    """A check of the end-to-end test failed."""


def poll(what, check, timeout=20, interval=0.2):
    """Calls check() until it returns a true value, which is returned."""
    end = time.monotonic() + timeout
    while not (value := check()):
        if time.monotonic() > end:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)
    return value


def run(args, timeout=120, **kwargs):
    """Runs a command; stdout and stderr as bytes. Through files, not pipes:
    helper processes that Wine starts may hold a pipe open after the end."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(args, stdout=out, stderr=err, timeout=timeout, **kwargs)
        result.stdout, result.stderr = (f.seek(0) or f.read() for f in (out, err))
    return result


def xdotool(*args):
    return run(["xdotool", *map(str, args)], timeout=20).stdout


def table(f):
    return bytes(f(v) & 255 for v in range(256))


# A picture is (width, height, red, green, blue): the top 5, 6 and 5 bits of
# each channel, one bytes object per channel, row 0 at the top.
def picture_565(width, height, raw):
    """From 16-bit little-endian 5-6-5 pixels."""
    low, high = raw[0::2], raw[1::2]
    green = bytes(a | b for a, b in zip(high.translate(table(lambda v: (v & 7) << 3)),
                                        low.translate(table(lambda v: v >> 5))))
    return width, height, high.translate(table(lambda v: v >> 3)), green, \
        low.translate(table(lambda v: v & 31))


def grab(window):
    """The window's picture as the screen shows it, or None when it cannot
    be read right now."""
    data = run(["import", "-silent", "-window", str(window), "-depth", "8", "ppm:-"], 30).stdout
    if not (header := re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)):
        return None
    width, height, rgb = int(header[1]), int(header[2]), data[header.end():]
    if len(rgb) != width * height * 3:
        return None
    return width, height, *(rgb[i::3].translate(table(lambda v: v >> bits))
                            for i, bits in ((0, 3), (1, 2), (2, 3)))


def values(picture):
    """The pixels as 16-bit 5-6-5 numbers, row by row."""
    return [r << 11 | g << 5 | b for r, g, b in zip(*picture[2:])]


class ClientMessage(ctypes.Structure):  # padded to the size of an XEvent
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def close_window(window):
    """Asks the window to close (WM_DELETE_WINDOW), as a close button does."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    display = ctypes.c_void_p(x.XOpenDisplay(None))
    event = ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                          message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
    event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)  # data[1] 0: CurrentTime
    x.XSendEvent(display, ctypes.c_ulong(window), 0, ctypes.c_long(0), ctypes.byref(event))
    x.XCloseDisplay(display)  # sends the event


def cpu_seconds(pid):
    """User plus system processor time of a process so far (fields 14, 15)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def stable_picture(window, expected=None, what="the picture to settle"):
    """The window's picture once two grabs 0.2 s apart agree, or once it
    equals `expected`."""
    last = [None, None]

    def settled():
        last[:] = last[1], grab(window)
        return last[1] if last[1] is not None and last[1] == (expected or last[0]) else None
    try:
        return poll(what, settled)
    except Failure:
        wrong = last[1] and expected and sum(a != b for a, b in zip(values(last[1]), values(expected)))
        raise Failure(f"{what}: " + (f"{wrong} pixels differ" if wrong else "no steady picture"))


def check_nearest(picture, source):
    """Every screen pixel is one source pixel: column and row maps, each in
    order and within one of the centred nearest-neighbour rule (SDL samples
    floor((d + 1/2) S / D), Wine now and then one lower), give the picture."""
    sw, sh, w, h = picture[0], picture[1], source[0], source[1]
    screen, src = values(picture), values(source)
    cx = [(2 * x + 1) * w // (2 * sw) for x in range(sw)]
    cy = [(2 * y + 1) * h // (2 * sh) for y in range(sh)]
    fx, fy = cx[:], cy[:]

    def column_misses(x, c):
        return sum(screen[y * sw + x] != src[fy[y] * w + c] for y in range(sh))

    def row_misses(y, r):
        return sum(screen[y * sw + x] != src[r * w + fx[x]] for x in range(sw))

    # Move a column (then a row) that does not match to its best neighbour.
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
    wrong = [y for y in range(sh) if row_misses(y, fy[y])]
    if wrong or fx != sorted(fx) or fy != sorted(fy):
        raise Failure(f"not a nearest-neighbour stretch: screen rows {wrong[:10]} differ; "
                      f"columns in order: {fx == sorted(fx)}, rows in order: {fy == sorted(fy)}")


def hold_keys(window, keys, seconds, before, wine):
    """Holds the keys about `seconds`, once the picture shows they arrived:
    an upper bound of the time they were down, and an estimate of it."""
    if wine:
        xdotool("windowfocus", "--sync", window)
    start = time.monotonic()
    xdotool("keydown", *keys)
    pressed = time.monotonic()
    try:
        poll(f"the picture to change while {'+'.join(keys)} is held",
             lambda: (p := grab(window)) is not None and p != before, 10, 0.05)
        time.sleep(max(0.0, seconds - (time.monotonic() - start)))
    finally:
        releasing = time.monotonic()
        xdotool("keyup", *reversed(keys))
    return time.monotonic() - start, releasing - pressed


def scenario(args, folder):
    prefix = [os.environ.get("GX_WINE", "wine")] if args.wine else []
    cache = {}

    def render(script):
        """cube-render's picture for a key script."""
        if script not in cache:
            out = os.path.join(folder, "reference.raw")
            r = run(prefix + [args.render, "--keys", script, "--out", out], cwd=args.assets)
            if r.returncode != 0 or os.path.getsize(out) != SIZE[0] * SIZE[1] * 2:
                raise Failure(f"cube-render --keys '{script}' failed: {r.stderr!r}")
            cache[script] = picture_565(*SIZE, open(out, "rb").read())
        return cache[script]

    log_path = os.path.join(folder, "program.log")
    for attempt in (1, 2):
        with open(log_path, "wb") as log:
            program = subprocess.Popen(prefix + [args.program], cwd=args.assets, stdout=log,
                                       stderr=subprocess.STDOUT)
        try:
            window = poll("the window", lambda: int((xdotool(
                "search", "--onlyvisible", "--name", f"^{CAPTION}$").split() or [0])[0]),
                60 if args.wine else 20)
            break
        except Failure:
            program.kill()
            program.wait()
            # A fresh Wine prefix now and then never shows the first window.
            if not args.wine or attempt == 2:
                raise Failure("no window appeared; program output:\n" + open(log_path).read())
    try:
        if args.wine:
            xdotool("windowfocus", "--sync", window)
        xdotool("windowsize", window, *SIZE)
        picture = stable_picture(window, render("none"), "the first frame at 640 x 480")

        pid = int(xdotool("getwindowpid", window) or program.pid)
        cpu0, t0 = cpu_seconds(pid), time.monotonic()
        time.sleep(3)
        share = (cpu_seconds(pid) - cpu0) / (time.monotonic() - t0)
        if share > 0.10:
            raise Failure(f"the idle program uses {100 * share:.1f} % of a processor")

        history = []
        for keys, script, seconds, moves in HOLDS:
            held, estimate = hold_keys(window, keys, seconds, picture, args.wine)
            picture = stable_picture(window)
            # At most one turn per tick while held, and turns repeat after 60;
            # the guess is midway between the two times.
            highest = int(held * 60) + 3 if moves else 59
            guess = min(highest, max(1, round((estimate + held) * 30)))
            order = sorted(range(1, highest + 1), key=lambda n: (abs(n - guess), n))
            n = next((n for n in order if render(" ".join(history + [f"{script}*{n}"]))
                      == picture), None)
            if n is None:
                raise Failure(f"no number of turns up to {highest} of '{script}' after "
                              f"'{' '.join(history)}' gives the screen's picture")
            print(f"{'+'.join(keys)} held {held:.2f} s: {n} turns of '{script}' (guessed {guess})")
            history.append(f"{script}*{n}")
        final = render(" ".join(history))

        xdotool("windowsize", window, 960, 360)
        poll("the client area to become 960 x 360",
             lambda: (p := grab(window)) is not None and p[:2] == (960, 360))
        check_nearest(stable_picture(window), final)
        xdotool("windowsize", window, *SIZE)
        stable_picture(window, final, "the picture back at 640 x 480")

        close_window(window)
        if (code := program.wait(30)) != 0:
            raise Failure(f"exit code {code} after closing the window")
    except (Failure, subprocess.TimeoutExpired):
        print("program output:\n" + open(log_path).read())
        raise
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def no_display_checks(program):
    """The SDL program without a display: a message and a non-zero exit at
    once, never an invisible window; --help and --version need none."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    for display in (None, ":199"):
        start = time.monotonic()
        r = subprocess.run([program], env=dict(env, **({"DISPLAY": display} if display else {})),
                           capture_output=True, timeout=10)
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
    needed = ["xdotool", "import", os.environ.get("GX_WINE", "wine") if args.wine else "Xvfb"]
    if missing := [tool for tool in needed if shutil.which(tool) is None]:
        print(f"skipped: {', '.join(missing)} not installed")
        return 77
    server = None
    try:
        if not args.wine:
            no_display_checks(args.program)
            # A private X server on a free display.
            read_fd, write_fd = os.pipe()
            server = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                       "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                                      pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
            os.close(write_fd)
            os.environ["DISPLAY"] = ":" + os.fdopen(read_fd).readline().strip()
        if not os.environ.get("DISPLAY", ":").strip(":"):
            raise Failure("no X display (with --wine, run through scripts/wine-env.sh)")
        with tempfile.TemporaryDirectory(prefix="cube-e2e.") as folder:
            scenario(args, folder)
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED: {failure}")
        return 1
    finally:
        if server:
            server.kill()
            server.wait()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
