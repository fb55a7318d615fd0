#!/usr/bin/env python3
"""Asks an X11 window to close the way a window manager's close button does:
a WM_DELETE_WINDOW client message. Usage: close_window.py WINDOW_ID

With --intern instead of a window, only creates the window-manager atoms. A
bare test X server has no window manager, so nobody has created them, and
JUCE only uses the atoms that already exist when it starts. Atoms vanish when
an X server resets after its last client leaves: either run the server with
-noreset, or add --hold to stay connected until killed."""
import ctypes
import ctypes.util
import sys


class XClientMessageEvent(ctypes.Structure):
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
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def main():
    intern_only = sys.argv[1] == "--intern"
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open display")
    # Every window-manager atom JUCE looks up; a missing one makes it send an
    # invalid atom, which the X server answers by ending the program.
    atoms = [b"WM_PROTOCOLS", b"WM_TAKE_FOCUS", b"WM_DELETE_WINDOW", b"_NET_WM_PING", b"WM_CHANGE_STATE",
             b"WM_STATE", b"_NET_WM_WINDOW_TYPE", b"_NET_WM_STATE", b"_NET_WM_STATE_HIDDEN",
             b"_NET_WM_STATE_FULLSCREEN", b"_NET_FRAME_EXTENTS", b"_NET_WORKAREA", b"_MOTIF_WM_HINTS",
             b"_WIN_HINTS", b"KWM_WIN_DECORATION", b"_KDE_NET_WM_WINDOW_TYPE_OVERRIDE",
             b"_NET_WM_ALLOWED_ACTIONS", b"_NET_WM_WINDOW_TYPE_COMBO", b"_NET_WM_WINDOW_TYPE_NORMAL"]
    for name in atoms:
        x11.XInternAtom(display, name, 0)
    if intern_only:
        x11.XFlush(display)
        if len(sys.argv) > 2 and sys.argv[2] == "--hold":
            import time
            time.sleep(3600)
        x11.XCloseDisplay(display)
        return
    window = int(sys.argv[1], 0)
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
