#!/usr/bin/env python3
"""first_paint.py <window id> <start ms> <timeout s>: waits until the window shows a painted
frame (a 200 x 200 patch at its centre holds at least 20 colours; the start fill is one) and
prints the milliseconds from <start ms> (wall clock) to then, polling every 10 ms on the display
$DISPLAY names. Exits 1 at the timeout or when the window goes away."""
import ctypes
import sys
import time

ZPixmap = 2
AllPlanes = 0xFFFFFFFF


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("pad", ctypes.c_long * 32)]


def main():
    window = int(sys.argv[1], 0)
    start_ms = int(sys.argv[2])
    deadline = time.time() + float(sys.argv[3])
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                         ctypes.POINTER(XWindowAttributes)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
    # A window that is not mapped yet (or gone) answers with an X error: ignore it and retry.
    handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    ignore = handler_type(lambda display, event: 0)
    x11.XSetErrorHandler(ctypes.cast(ignore, ctypes.c_void_p))
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("first_paint: no display")
    size = 200
    while time.time() < deadline:
        attributes = XWindowAttributes()
        if x11.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
            x = max(0, attributes.width // 2 - size // 2)
            y = max(0, attributes.height // 2 - size // 2)
            image = x11.XGetImage(display, window, x, y, size, size, AllPlanes, ZPixmap)
            if image:
                img = image.contents
                row = img.bytes_per_line
                data = ctypes.string_at(img.data, row * img.height)
                x11.XFree(img.data)
                x11.XFree(image)
                colours = {data[i:i + 4] for i in range(0, len(data) - 3, 4 * 7)}
                if len(colours) >= 20:
                    print(int(time.time() * 1000) - start_ms)
                    return 0
        time.sleep(0.01)
    return 1


if __name__ == "__main__":
    sys.exit(main())
