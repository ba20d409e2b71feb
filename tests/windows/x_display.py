"""The virtual display as a window manager sees the windows of wine's
programs, through Xlib: a window's picture and the close request its close
box sends."""
import ctypes
import ctypes.util


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


_CLIENT_MESSAGE = 33
_Z_PIXMAP = 2
_ALL_PLANES = ctypes.c_ulong(-1).value


class Display:
    def __init__(self):
        x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.POINTER(_XEvent)]
        x11.XGetImage.restype = ctypes.POINTER(_XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong)] + \
            [ctypes.POINTER(ctypes.c_int)] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
        x11.XFlush.argtypes = x11.XCloseDisplay.argtypes = x11.XFree.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("cannot open the display")

    def close(self):
        self.x11.XCloseDisplay(self.display)

    def request_close(self, window):
        """Sends WM_DELETE_WINDOW, as a window manager does when the window's
        close box is clicked."""
        event = _XEvent()
        event.client.type = _CLIENT_MESSAGE
        event.client.window = window
        event.client.message_type = self.x11.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = self.x11.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        self.x11.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.x11.XFlush(self.display)

    def picture(self, window):
        """(width, height, rows of RGBA bytes) of what the window shows."""
        root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        if not self.x11.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                                     ctypes.byref(width), ctypes.byref(height), ctypes.byref(border),
                                     ctypes.byref(depth)):
            raise SystemExit(f"window {window} is gone")
        image = self.x11.XGetImage(self.display, window, 0, 0, width, height, _ALL_PLANES, _Z_PIXMAP)
        if not image or image.contents.bits_per_pixel != 32:
            raise SystemExit("the window's picture could not be read as 32-bit pixels")
        shown = image.contents
        columns, lines, stride = shown.width, shown.height, shown.bytes_per_line
        data = ctypes.string_at(shown.data, stride * lines)
        self.x11.XFree(shown.data)
        self.x11.XFree(image)
        rows = []
        for row in range(lines):
            line = data[row * stride:row * stride + 4 * columns]
            # Little-endian 0x00RRGGBB: blue, green, red, unused.
            rows.append(bytes(b for i in range(columns) for b in (line[4 * i + 2], line[4 * i + 1], line[4 * i], 255)))
        return columns, lines, rows
