"""Samples of a WAV file (16-bit PCM or 32-bit float), for comparing renders
exactly: read_wav(path) -> (rate, channels, samples interleaved as floats)."""
import struct


def read_wav(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError(f"{path} is not a WAV file")
    position, fmt, frames = 12, None, None
    while position + 8 <= len(data):
        tag, size = data[position:position + 4], struct.unpack_from("<I", data, position + 4)[0]
        body = data[position + 8:position + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif tag == b"data":
            frames = body
        position += 8 + size + (size & 1)
    if fmt is None or frames is None:
        raise ValueError(f"{path} has no format or data")
    code, channels, rate, _, _, bits = fmt
    if code == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes
        code = struct.unpack_from("<H", data, data.index(b"fmt ") + 8 + 24)[0]
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
