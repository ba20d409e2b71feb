"""What the Windows build's test scripts share: running a program, a path as
wine names it, a tally of checks that prints the closing line, and the samples
of a WAV file for comparing renders exactly."""
import struct
import zlib
import subprocess


def run(command, env=None, timeout=600):
    """Runs a program and returns its standard output as text (UTF-8, LF line
    ends); a failure ends the test with the program's error output."""
    done = subprocess.run([str(part) for part in command], capture_output=True, timeout=timeout,
                          stdin=subprocess.DEVNULL, env=env)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(map(str, command))} failed ({done.returncode}):\n"
                         f"{done.stdout.decode(errors='replace')}\n{done.stderr.decode(errors='replace')}")
    return done.stdout.decode("utf-8", errors="replace").replace("\r\n", "\n")


def windows_path(path):
    """A file of this machine as wine's Z: drive names it."""
    return "Z:" + str(path).replace("/", "\\")


class Checks:
    """Collects failed checks; finish() prints them and 'N passed, N failed'."""

    def __init__(self):
        self.failures = []
        self.count = 0

    def expect(self, condition, what):
        self.count += 1
        if not condition:
            self.failures.append(what)

    def same(self, what, expected, found, labels=("expected", "found")):
        self.expect(expected == found, f"{what} differs:\n  {labels[0]}: {expected}\n  {labels[1]}: {found}")

    def finish(self):
        for failure in self.failures:
            print(failure)
        print(f"{self.count - len(self.failures)} passed, {len(self.failures)} failed")
        return 1 if self.failures else 0


def read_wav(path):
    """(rate, channels, samples interleaved as floats) of a 16-bit PCM or
    32-bit float WAV file."""
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path} is not a WAV file")
    position, fmt, frames = 12, None, None
    while position + 8 <= len(data):
        tag, size = data[position:position + 4], struct.unpack_from("<I", data, position + 4)[0]
        body = data[position + 8:position + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
            if fmt[0] == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes
                fmt = (struct.unpack_from("<H", body, 24)[0],) + fmt[1:]
        elif tag == b"data":
            frames = body
        position += 8 + size + (size & 1)
    if fmt is None or frames is None:
        raise ValueError(f"{path} has no format or data")
    code, channels, rate, _, _, bits = fmt
    if code == 3 and bits == 32:
        samples = struct.unpack(f"<{len(frames) // 4}f", frames)
    elif code == 1 and bits == 16:
        samples = [value / 32768.0 for value in struct.unpack(f"<{len(frames) // 2}h", frames)]
    else:
        raise ValueError(f"{path}: format {code} with {bits} bits is not read here")
    return rate, channels, list(samples)


def write_wav16(path, rate, channels, samples):
    """Writes 16-bit PCM from floats in -1..1."""
    frames = struct.pack(f"<{len(samples)}h", *(max(-32768, min(32767, round(s * 32768))) for s in samples))
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(frames), b"WAVE", b"fmt ", 16, 1, channels, rate,
                         rate * channels * 2, channels * 2, 16, b"data", len(frames))
    with open(path, "wb") as out:
        out.write(header + frames)


def read_png(path):
    """(width, height, rows of RGBA bytes) of an 8-bit RGB or RGBA PNG file
    without interlacing, as the tool writes them."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is not a PNG file")
    position, header, compressed = 8, None, b""
    while position < len(data):
        size, tag = struct.unpack_from(">I4s", data, position)
        body = data[position + 8:position + 8 + size]
        if tag == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif tag == b"IDAT":
            compressed += body
        position += 12 + size
    if header is None:
        raise ValueError(f"{path} has no header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"{path}: only 8-bit RGB or RGBA without interlacing is read here")
    channels = 4 if colour == 6 else 3
    stride = width * channels
    raw = zlib.decompress(compressed)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            if kind == 1:
                row[i] = (row[i] + left) & 0xFF
            elif kind == 2:
                row[i] = (row[i] + up) & 0xFF
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                corner = previous[i - channels] if i >= channels else 0
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        previous = row
        if channels == 3:
            row = bytearray(b for i in range(width) for b in (*row[3 * i:3 * i + 3], 255))
        rows.append(bytes(row))
    return width, height, rows
