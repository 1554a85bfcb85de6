#!/usr/bin/env python3
"""What the end-to-end tests need from X11 that xprop and xdotool do not give.

  xclient.py prop WINDOW NAME       prints the property's type and its bytes in hex
                                    ("none" when the window has no such property)
  xclient.py close WINDOW PID       asks the window to close, as a window manager's
                                    close box does (WM_DELETE_WINDOW), then waits for
                                    process PID to end and prints the milliseconds taken

The close is timed here, in the process that sends it, because starting a new
interpreter afterwards would add its own start-up time.
"""
import ctypes
import ctypes.util
import os
import sys
import time

xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XInternAtom.restype = ctypes.c_ulong
xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
xlib.XGetAtomName.restype = ctypes.c_void_p
xlib.XGetAtomName.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xlib.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xlib.XFree.argtypes = [ctypes.c_void_p]

CLIENT_MESSAGE = 33
ANY_PROPERTY_TYPE = 0


class ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]


def open_display():
    display = xlib.XOpenDisplay(None)
    if not display:
        sys.exit("xclient: cannot open display %s" % os.environ.get("DISPLAY", "(unset)"))
    return display


def atom(display, name):
    return xlib.XInternAtom(display, name.encode(), 0)


def print_property(display, window, name):
    actual_type = ctypes.c_ulong()
    actual_format = ctypes.c_int()
    items = ctypes.c_ulong()
    after = ctypes.c_ulong()
    data = ctypes.c_void_p()
    xlib.XGetWindowProperty(display, window, atom(display, name), 0, 1 << 20, 0, ANY_PROPERTY_TYPE,
                            ctypes.byref(actual_type), ctypes.byref(actual_format), ctypes.byref(items),
                            ctypes.byref(after), ctypes.byref(data))
    if actual_type.value == 0:
        print("none")
        return
    type_name = ctypes.string_at(xlib.XGetAtomName(display, actual_type.value)).decode()
    # Xlib hands 32-bit items over as longs; only 8-bit properties are needed here.
    raw = ctypes.string_at(data, items.value) if actual_format.value == 8 and items.value else b""
    if data:
        xlib.XFree(data)
    print(type_name, raw.hex())


def process_ended(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            # The state follows the parenthesised command name; a zombie has ended.
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except (FileNotFoundError, ProcessLookupError):
        # Gone, or reaped by the shell between the open and the read.
        return True


def close_window(display, window, pid):
    event = XEvent()
    event.client.type = CLIENT_MESSAGE
    event.client.window = window
    event.client.message_type = atom(display, "WM_PROTOCOLS")
    event.client.format = 32
    event.client.data[0] = atom(display, "WM_DELETE_WINDOW")
    event.client.data[1] = 0  # CurrentTime
    xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    xlib.XSync(display, 0)
    sent = time.monotonic()
    while not process_ended(pid):
        if time.monotonic() - sent > 5:
            print("timeout")
            return
        time.sleep(0.005)
    print(round((time.monotonic() - sent) * 1000))


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("prop", "close"):
        sys.exit(__doc__)
    display = open_display()
    window = int(sys.argv[2], 0)
    if sys.argv[1] == "prop":
        print_property(display, window, sys.argv[3])
    else:
        close_window(display, window, int(sys.argv[3]))


main()
