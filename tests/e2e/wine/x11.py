"""The two things a window manager and a person's paste do that xdotool
cannot: hand a Wine window the focus, and read the clipboard."""

import ctypes
import time

_x11 = ctypes.CDLL("libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XInternAtom.restype = ctypes.c_ulong
_x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XCreateSimpleWindow.restype = ctypes.c_ulong
_x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong,
                                     ctypes.c_ulong]
_x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.c_void_p]
_x11.XConvertSelection.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                   ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_void_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]

_CLIENT_MESSAGE = 33
_SELECTION_NOTIFY = 31
_ANY_PROPERTY_TYPE = 0
_CLIPBOARD_LIMIT = 1 << 20  # in 32-bit units; far above any text of ours


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                ("pad", ctypes.c_long * 24)]  # XEvent is larger than this member


class _Display:
    def __init__(self, name):
        self.dpy = _x11.XOpenDisplay(name.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open the display {name}")

    def __enter__(self):
        return self

    def __exit__(self, *_):
        _x11.XCloseDisplay(self.dpy)

    def atom(self, name):
        return _x11.XInternAtom(self.dpy, name.encode(), 0)


def take_focus(display, xid):
    """What a window manager sends a window it activates. Wine asks for
    WM_TAKE_FOCUS and, told nothing, leaves its idea of the active window (and
    so where keys go) as it was, whatever the X focus."""
    with _Display(display) as d:
        event = _ClientMessage(type=_CLIENT_MESSAGE, window=xid, format=32,
                               message_type=d.atom("WM_PROTOCOLS"))
        event.data[0] = d.atom("WM_TAKE_FOCUS")
        event.data[1] = 0  # CurrentTime
        _x11.XSendEvent(d.dpy, xid, 0, 0, ctypes.byref(event))
        _x11.XSync(d.dpy, 0)


def clipboard_text(display, timeout=5.0):
    """The CLIPBOARD selection as UTF-8 text, or None when nobody answers."""
    with _Display(display) as d:
        window = _x11.XCreateSimpleWindow(d.dpy, _x11.XDefaultRootWindow(d.dpy),
                                          0, 0, 1, 1, 0, 0, 0)
        target = d.atom("TAGSWAP_E2E_PASTE")
        _x11.XConvertSelection(d.dpy, d.atom("CLIPBOARD"), d.atom("UTF8_STRING"), target,
                               window, 0)
        _x11.XSync(d.dpy, 0)
        if not _wait_for_selection(d, timeout):
            return None
        return _take_property(d, window, target)


def _wait_for_selection(d, timeout):
    event = (ctypes.c_long * 24)()
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if not _x11.XPending(d.dpy):
            time.sleep(0.05)
            continue
        _x11.XNextEvent(d.dpy, event)
        if ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0] == _SELECTION_NOTIFY:
            return True
    return False


def _take_property(d, window, prop):
    kind, unit, count, left = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
    data = ctypes.c_void_p()
    status = _x11.XGetWindowProperty(d.dpy, window, prop, 0, _CLIPBOARD_LIMIT, 1,
                                     _ANY_PROPERTY_TYPE, ctypes.byref(kind), ctypes.byref(unit),
                                     ctypes.byref(count), ctypes.byref(left), ctypes.byref(data))
    if status != 0 or not data.value:
        return None
    try:
        return ctypes.string_at(data, count.value).decode("utf-8", errors="replace")
    finally:
        _x11.XFree(data)
