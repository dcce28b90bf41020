#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Waits for the next top-level window to be mapped on the X display and
prints the moment, for bench/startup.sh.

    window_mapped.py [TIMEOUT_SECONDS]

Listens on the root window for structure changes (an X client may watch the
root window of any program), writes "ready" once it listens, then
"mapped_epoch_ns=<nanoseconds since 1970>" when a window that is not an
override-redirect one (a menu or tooltip) is mapped, and exits. Exits with
status 1 when none is mapped in time (default 10 s).

libX11 is called through ctypes: the one call sequence needed does not
justify another package.
"""

import ctypes
import ctypes.util
import select
import sys
import time

SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
MAP_NOTIFY = 19


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


def load_xlib():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XPending.argtypes = [ctypes.c_void_p]
    xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    xlib.XConnectionNumber.argtypes = [ctypes.c_void_p]
    return xlib


def main():
    timeout = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    xlib = load_xlib()
    display = xlib.XOpenDisplay(None)
    if not display:
        print("window_mapped: cannot open the X display", file=sys.stderr)
        return 1
    xlib.XSelectInput(display, xlib.XDefaultRootWindow(display), SUBSTRUCTURE_NOTIFY_MASK)
    xlib.XSync(display, 0)  # listening from here on
    print("ready", flush=True)
    connection = xlib.XConnectionNumber(display)
    deadline = time.monotonic() + timeout
    event = XEvent()
    while True:
        while xlib.XPending(display):
            xlib.XNextEvent(display, ctypes.byref(event))
            if event.type == MAP_NOTIFY and not event.xmap.override_redirect:
                print(f"mapped_epoch_ns={time.time_ns()}", flush=True)
                return 0
        left = deadline - time.monotonic()
        if left <= 0:
            print("window_mapped: no window was mapped in time", file=sys.stderr)
            return 1
        select.select([connection], [], [], left)


if __name__ == "__main__":
    sys.exit(main())
