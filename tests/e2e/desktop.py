"""Driving a program the way a person would: run it, find its X window by
caption, read the window's pixels from the screen, press and release keys,
resize the window and close it politely. Standard library only; the X
tools used are Xvfb, xdotool and xwd, and libX11 (ctypes) for closing."""
import ctypes
import os
import struct
import subprocess
import tempfile
import time


class Failure(Exception):
    """A check of the end-to-end test failed."""


def poll(what, check, timeout, interval=0.05):
    """Calls check() until it returns a true value, which is returned."""
    end = time.monotonic() + timeout
    while not (value := check()):
        if time.monotonic() > end:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)
    return value


def run(args, timeout=120, **kwargs):
    """Runs a command; stdout and stderr as bytes. The output goes through
    files, not pipes: helper processes that Wine starts may hold a pipe open
    after the program ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(args, stdout=out, stderr=err, timeout=timeout, **kwargs)
        out.seek(0)
        err.seek(0)
        result.stdout, result.stderr = out.read(), err.read()
    return result


def start_xvfb():
    """A private X server on a free display: its process, and DISPLAY set."""
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        os.environ["DISPLAY"] = ":" + pipe.readline().strip()
    if os.environ["DISPLAY"] == ":":
        server.kill()
        raise Failure("Xvfb did not start")
    return server


def xdotool(*args):
    return run(["xdotool", *map(str, args)], timeout=20)


def find_window(caption, timeout):
    """The shown X window whose name is exactly `caption`."""
    def search():
        ids = xdotool("search", "--onlyvisible", "--name", f"^{caption}$").stdout.split()
        return int(ids[0]) if ids else None
    return poll(f"a window named '{caption}'", search, timeout, interval=0.2)


def window_pid(window):
    pid = xdotool("getwindowpid", window).stdout.strip()
    return int(pid) if pid.isdigit() else None


def cpu_seconds(pid):
    """User plus system processor time of a process so far (fields 14, 15)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


# A picture is (width, height, red, green, blue): the top 5, 6 and 5 bits of
# each channel, one bytes object of width x height per channel, row 0 at the
# top, so that whole pictures compare quickly.
def _table(f):
    return bytes(f(v) for v in range(256))


def picture_565(width, height, raw):
    """From 16-bit little-endian 5-6-5 pixels."""
    low, high = raw[0::2], raw[1::2]
    green = bytes(a | b for a, b in zip(high.translate(_table(lambda v: (v & 7) << 3)),
                                        low.translate(_table(lambda v: v >> 5))))
    return width, height, high.translate(_table(lambda v: v >> 3)), green, \
        low.translate(_table(lambda v: v & 31))


def values(picture):
    """The pixels as 16-bit 5-6-5 numbers, row by row."""
    return [r << 11 | g << 5 | b for r, g, b in zip(*picture[2:])]


def differences(a, b):
    if a[:2] != b[:2]:
        return a[0] * a[1]
    return sum(x != y for x, y in zip(values(a), values(b)))


def grab(window):
    """The window's picture as the screen shows it (xwd), or None when the
    window cannot be read right now."""
    data = run(["xwd", "-id", str(window), "-silent"], timeout=30).stdout
    if len(data) < 100:
        return None
    h = struct.unpack(">25I", data[:100])
    width, height, byte_order, bits, stride, masks = h[4], h[5], h[7], h[11], h[12], h[14:17]
    step = bits // 8
    if h[2] != 2 or step not in (3, 4) or any(m.bit_length() > 8 * step for m in masks):
        raise Failure(f"unexpected screen format: {bits} bits, format {h[2]}")
    start = h[0] + h[19] * 12  # after the header and the colour map
    pixels = b"".join(data[start + y * stride:start + y * stride + width * step]
                      for y in range(height))
    if len(pixels) != width * height * step:
        return None

    def channel(mask, kept):  # each 8-bit channel lies in one byte of the pixel
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8 if byte_order == 0 else step - 1 - shift // 8
        return pixels[index::step].translate(_table(lambda v: v >> (8 - kept)))
    return width, height, channel(masks[0], 5), channel(masks[1], 6), channel(masks[2], 5)


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]  # an XEvent's size


def close_window(window):
    """Asks the window to close (WM_DELETE_WINDOW), as a close button does."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = x.XInternAtom.restype = ctypes.c_void_p
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    if not display:
        raise Failure("cannot open the X display to close the window")
    event = _ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                           message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
    event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)  # data[1] 0: CurrentTime
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)
