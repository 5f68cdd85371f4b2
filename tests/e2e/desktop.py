"""Driving a desktop program under X the way a person would: find its window
by caption, read the window's pixels from the screen, press and release
keys, resize the window and close it politely.

Python 3 standard library only; the X tools used are Xvfb, xdotool and xwd,
and libX11 (through ctypes) for the close request.
"""
import ctypes
import os
import struct
import subprocess
import tempfile
import time


class Failure(Exception):
    """A check of the end-to-end test failed."""


def poll(what, check, timeout, interval=0.05):
    """Calls check() until it returns a true value, which is returned; raises
    Failure naming `what` after `timeout` seconds."""
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def run(args, timeout=60, **kwargs):
    """Runs a command and returns its result with stdout and stderr as bytes.
    The output goes through files, not pipes: a program started under Wine
    may leave helper processes behind that hold a pipe open."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(args, stdout=out, stderr=err, timeout=timeout, **kwargs)
        out.seek(0)
        err.seek(0)
        result.stdout, result.stderr = out.read(), err.read()
    return result


class Xvfb:
    """A private X server on a free display number."""

    def __init__(self, screen="1280x1024x24"):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise Failure("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def find_window(caption, timeout):
    """The shown X window whose name is exactly `caption`."""
    def search():
        result = run(["xdotool", "search", "--onlyvisible", "--name", "^" + caption + "$"],
                     timeout=20)
        ids = result.stdout.split()
        return int(ids[0]) if ids else None
    return poll(f"a window named '{caption}'", search, timeout, interval=0.2)


def window_pid(window):
    result = run(["xdotool", "getwindowpid", str(window)], timeout=20)
    return int(result.stdout) if result.returncode == 0 and result.stdout.strip() else None


def focus(window):
    run(["xdotool", "windowfocus", "--sync", str(window)], timeout=20)


def resize(window, width, height):
    run(["xdotool", "windowsize", str(window), str(width), str(height)], timeout=20)


def key_down(*keys):
    run(["xdotool", "keydown", *keys], timeout=20)


def key_up(*keys):
    run(["xdotool", "keyup", *keys], timeout=20)


# Byte tables that keep the top bits of an 8-bit channel.
_TOP5 = bytes(v >> 3 for v in range(256))
_TOP6 = bytes(v >> 2 for v in range(256))


class Picture:
    """Pixels of a window in 5-6-5: the top 5, 6 and 5 bits of red, green
    and blue, each channel a bytes object of width x height entries, row 0
    at the top. Kept per channel so that whole pictures compare quickly."""

    def __init__(self, width, height, red, green, blue):
        self.width = width
        self.height = height
        self.channels = (red, green, blue)

    @staticmethod
    def from_565(width, height, raw):
        """From 16-bit little-endian 5-6-5 pixels."""
        low, high = raw[0::2], raw[1::2]
        red = high.translate(bytes(v >> 3 for v in range(256)))
        green_high = high.translate(bytes((v & 7) << 3 for v in range(256)))
        green_low = low.translate(bytes(v >> 5 for v in range(256)))
        green = bytes(a | b for a, b in zip(green_high, green_low))
        blue = low.translate(bytes(v & 31 for v in range(256)))
        return Picture(width, height, red, green, blue)

    def __eq__(self, other):
        if not isinstance(other, Picture):
            return False
        return (self.width, self.height, self.channels) == (other.width, other.height,
                                                              other.channels)

    def values(self):
        """The pixels as 16-bit 5-6-5 numbers, row by row."""
        r, g, b = self.channels
        return [x << 11 | y << 5 | z for x, y, z in zip(r, g, b)]

    def differences(self, other):
        if (self.width, self.height) != (other.width, other.height):
            return self.width * self.height
        return sum(a != b for a, b in zip(self.values(), other.values()))


def grab(window):
    """Reads the window's pixels from the screen (xwd), or None when the
    window cannot be read right now."""
    result = run(["xwd", "-id", str(window), "-silent"], timeout=30)
    if result.returncode != 0 or len(result.stdout) < 100:
        return None
    data = result.stdout
    h = struct.unpack(">25I", data[:100])
    header_size, pixmap_format, width, height = h[0], h[2], h[4], h[5]
    byte_order, bits_per_pixel, bytes_per_line = h[7], h[11], h[12]
    masks = h[14], h[15], h[16]
    colours = h[19]
    step = bits_per_pixel // 8
    if pixmap_format != 2 or step not in (3, 4) or any(m.bit_length() > 8 * step for m in masks):
        raise Failure(f"unexpected screen format: {bits_per_pixel} bits, format {pixmap_format}")
    start = header_size + colours * 12
    if bytes_per_line == width * step:
        pixels = data[start:start + height * bytes_per_line]
    else:
        pixels = b"".join(data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
                          for y in range(height))
    if len(pixels) != width * height * step:
        return None

    def channel(mask, table):
        # Each 8-bit channel lies in one byte of the pixel.
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8 if byte_order == 0 else step - 1 - shift // 8
        return pixels[index::step].translate(table)
    return Picture(width, height, channel(masks[0], _TOP5), channel(masks[1], _TOP6),
                   channel(masks[2], _TOP5))


# --- Closing a window politely: a WM_DELETE_WINDOW client message ----------

class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close_window(window):
    """Asks the window to close, as a window manager's close button does."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.POINTER(_Event)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    if not display:
        raise Failure("cannot open the X display to close the window")
    event = _Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)


def cpu_seconds(pid):
    """User plus system processor time of a process so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # Fields 14 and 15 of the whole line; the split starts at field 3.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def temp_dir():
    return tempfile.TemporaryDirectory(prefix="cube-e2e.")
