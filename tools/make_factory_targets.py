#!/usr/bin/env python3
"""Generates library/factory_target_texts.inc, the five factory targets that
are compiled into the plug-in.

Each curve and spread is a monotone cubic (Fritsch-Carlson) through a few
anchor points on the grid index, which is linear in log frequency: smooth,
no overshoot, so every value stays within the range of its neighbouring
anchors. The anchors hold the published end values, octave points, peaks and
ranges; the in-between anchors shape plausible genre balances.

Usage: tools/make_factory_targets.py [--png preview.png]
"""
import math
import os
import struct
import sys
import zlib

POINTS = 180


def grid_frequency(i):
    return 20.0 * 1000.0 ** (i / 179.0)


# name -> (curve anchors, spread anchors); index -> dB
TARGETS = {
    "Dance": (
        {0: -24.443, 1: -23.612, 2: -22.548, 12: -6.2, 24: 5.514, 29: 6.292, 42: 1.735, 65: -1.447,
         83: -0.051, 101: 0.222, 119: -1.978, 137: -4.711, 155: -5.280, 161: -7.350, 173: -15.752,
         177: -22.228, 178: -23.445, 179: -27.238},
        {0: 7.487, 1: 7.608, 2: 7.701, 14: 7.950, 32: 6.300, 60: 4.700, 100: 3.950, 140: 4.450,
         165: 5.300, 172: 5.500, 177: 3.901, 178: 0.861, 179: 0.531},
    ),
    "Metal": (
        {0: -24.836, 1: -24.354, 2: -23.861, 12: -9.5, 24: 2.095, 37: 4.457, 42: 3.802, 65: -1.250,
         83: -1.264, 101: 1.260, 119: -0.923, 137: -3.039, 155: -7.737, 161: -9.050, 173: -19.587,
         177: -23.268, 178: -22.837, 179: -24.229},
        {0: 3.256, 1: 3.353, 2: 3.385, 20: 3.650, 45: 3.050, 80: 2.650, 120: 2.850, 150: 3.650,
         168: 4.400, 177: 5.133, 178: 7.003, 179: 8.367},
    ),
    "Pop": (
        {0: -21.060, 1: -20.318, 2: -19.552, 12: -5.0, 24: 4.199, 33: 4.623, 42: 4.428, 65: -0.050,
         83: -0.036, 101: 0.608, 119: -2.175, 137: -6.241, 155: -8.490, 161: -9.550, 173: -21.004,
         177: -24.239, 178: -25.909, 179: -28.682},
        {0: 10.950, 1: 11.054, 2: 10.660, 15: 8.600, 35: 6.100, 70: 4.850, 110: 4.500, 145: 5.250,
         165: 6.650, 177: 8.084, 178: 9.584, 179: 10.928},
    ),
    "Rock": (
        {0: -28.784, 1: -28.244, 2: -27.697, 12: -14.0, 24: -1.883, 33: 4.480, 42: 1.165, 65: -1.038,
         83: 0.290, 101: 1.922, 119: -1.346, 137: -3.018, 155: -8.298, 161: -9.300, 173: -12.817,
         177: -15.491, 178: -16.996, 179: -19.677},
        {0: 2.685, 1: 2.766, 2: 2.766, 20: 3.400, 40: 4.200, 80: 3.600, 120: 4.000, 150: 6.500,
         165: 10.500, 172: 13.500, 177: 16.741, 178: 19.027, 179: 21.539},
    ),
    "Schlager": (
        {0: -18.411, 1: -17.895, 2: -17.345, 12: -4.0, 24: 3.298, 29: 4.251, 42: 0.738, 65: 1.993,
         83: 1.503, 101: -0.843, 119: -2.531, 128: -4.450, 137: -6.925, 155: -7.947, 161: -8.900,
         173: -20.056, 177: -31.655, 178: -29.183, 179: -29.811},
        {0: 6.818, 1: 6.818, 2: 6.764, 20: 5.900, 45: 4.600, 85: 4.000, 120: 4.300, 150: 4.200,
         165: 2.600, 171: 1.000, 173: 0.350, 174: 0.0, 175: 0.0, 176: 0.0, 177: 0.0, 178: 0.0,
         179: 0.0},
    ),
}


def sign(x):
    return (x > 0) - (x < 0)


def pchip(anchors):
    """Monotone cubic through the anchors, evaluated at every grid index."""
    xs = sorted(anchors)
    ys = [anchors[x] for x in xs]
    n = len(xs)
    h = [xs[k + 1] - xs[k] for k in range(n - 1)]
    delta = [(ys[k + 1] - ys[k]) / h[k] for k in range(n - 1)]
    d = [0.0] * n
    for k in range(1, n - 1):
        if delta[k - 1] == 0 or delta[k] == 0 or sign(delta[k - 1]) != sign(delta[k]):
            d[k] = 0.0
        else:
            w1 = 2 * h[k] + h[k - 1]
            w2 = h[k] + 2 * h[k - 1]
            d[k] = (w1 + w2) / (w1 / delta[k - 1] + w2 / delta[k])

    def end_slope(h0, h1, d0, d1):
        slope = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1)
        if sign(slope) != sign(d0):
            return 0.0
        if sign(d0) != sign(d1) and abs(slope) > abs(3 * d0):
            return 3 * d0
        return slope

    d[0] = end_slope(h[0], h[1], delta[0], delta[1])
    d[-1] = end_slope(h[-1], h[-2], delta[-1], delta[-2])

    values = []
    for i in range(POINTS):
        k = max(j for j in range(n - 1) if xs[j] <= i) if i < xs[-1] else n - 2
        t = (i - xs[k]) / h[k]
        h00 = 2 * t ** 3 - 3 * t ** 2 + 1
        h10 = t ** 3 - 2 * t ** 2 + t
        h01 = -2 * t ** 3 + 3 * t ** 2
        h11 = t ** 3 - t ** 2
        values.append(h00 * ys[k] + h10 * h[k] * d[k] + h01 * ys[k + 1] + h11 * h[k] * d[k + 1])
    return values


def fmt(v):
    return "%.3f" % v


def parse(text):
    return [float(t) for t in text.split(" ")]


def check(name, curve, spread):
    """The published facts about the factory targets."""
    def idx_range(lo_hz, hi_hz):
        return [i for i in range(POINTS) if lo_hz <= grid_frequency(i) <= hi_hz]

    assert -29 <= curve[0] <= -18, name
    peak = max(range(POINTS), key=lambda i: curve[i])
    assert 55 <= grid_frequency(peak) <= 115, (name, peak)
    assert all(curve[i] <= curve[i + 1] for i in range(peak)), name
    assert all(-5.3 <= curve[i] <= 3.3 for i in idx_range(300, 3000)), name
    assert -9.8 <= curve[161] <= -6.5, name
    assert all(curve[i] < curve[161] for i in range(162, POINTS)), name
    assert all(0 <= s <= 21.539 for s in spread), name
    if name == "Schlager":
        assert all(s == 0 for s in spread[-6:]) and all(s > 0 for s in spread[:-6]), name
    else:
        assert all(s > 0 for s in spread), name


def target_text(name, curve_text, spread_text):
    return "Ombrix target 1\nname=%s\npoints=180\ncurve=%s\nspread=%s\n" % (name, curve_text, spread_text)


def write_png(path, series):
    width, height = 900, 420
    top_db, bottom_db = 10.0, -35.0
    pixels = [[(255, 255, 255)] * width for _ in range(height)]
    colours = [(200, 40, 40), (40, 40, 40), (40, 120, 220), (230, 140, 20), (40, 160, 70)]

    def plot(x, y, colour):
        if 0 <= x < width and 0 <= y < height:
            pixels[y][x] = colour

    for db in range(-30, 10, 10):
        y = int((top_db - db) / (top_db - bottom_db) * (height - 1))
        for x in range(width):
            plot(x, y, (220, 220, 220))
    for colour, values in zip(colours, series):
        for x in range(width):
            pos = x / (width - 1) * (POINTS - 1)
            i = min(int(pos), POINTS - 2)
            v = values[i] + (values[i + 1] - values[i]) * (pos - i)
            y = int(round((top_db - v) / (top_db - bottom_db) * (height - 1)))
            for dy in (0, 1):
                plot(x, y + dy, colour)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "library", "factory_target_texts.inc")
    texts, previews = [], []
    for name, (curve_anchors, spread_anchors) in TARGETS.items():
        curve_text = " ".join(fmt(v) for v in pchip(curve_anchors))
        spread_text = " ".join(fmt(v) for v in pchip(spread_anchors))
        curve, spread = parse(curve_text), parse(spread_text)
        for i, v in curve_anchors.items():
            assert fmt(curve[i]) == fmt(v), (name, i)
        check(name, curve, spread)
        texts.append(target_text(name, curve_text, spread_text))
        previews.append(curve)
    with open(out, "w", newline="\n") as f:
        f.write("// Generated by tools/make_factory_targets.py: edit the anchors there, not this file.\n")
        f.write("// The five factory targets in the target text format, in their fixed order.\n")
        f.write("inline constexpr const char* kFactoryTargetTexts[] = {\n")
        for text in texts:
            f.write('    R"omtarget(%s)omtarget",\n' % text)
        f.write("};\n")
    if len(sys.argv) == 3 and sys.argv[1] == "--png":
        write_png(sys.argv[2], previews)
    print("wrote", out)


if __name__ == "__main__":
    main()
