#!/usr/bin/env python3
"""The Windows ombrix.exe, under wine, prints the same figures as the Linux
build's ombrix on the same files: the demo (its programme rendered through
each build's own VST3), analyze --json on the demo's files and on FLAC, MP3
and Ogg encodings of its programme, learn, and render; screenshot draws the
editor as on Linux at scale 1 and 2 (text is laid out by each system's font
engine, so the pictures agree block by block, not pixel for pixel). The demo's corrected
programme differs between the builds by less than -80 dBFS (their maths
libraries may differ in the last bits), and the Windows VST3 with correction
off returns the programme bit-exactly.

    compare_with_linux.py LINUX_OMBRIX WINE_RUN OMBRIX_EXE ENCODER_EXE WINDOWS_VST3 WORK_DIR
"""
import json
import math
import pathlib
import shutil
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from windows_checks import Checks, read_png, read_wav, run, windows_path  # noqa: E402

LARGEST_DIFFERENCE_DBFS = -80.0
# Screenshots: text is laid out by GDI on Windows and FreeType on Linux, so
# glyphs may sit a pixel or two apart. Pictures match when no more than this
# share of their 16-pixel blocks differs by more than 16 levels of mean
# brightness from the other picture's block at the same place or up to two
# pixels (times the scale) beside it. Measured: 0.2 % at scale 1, 0.3 % at
# scale 2. A blank, black or mis-sized picture fails; one without the
# correction curve would not (0.6 %), which the figures above cover.
BLOCK = 16
BLOCK_TOLERANCE = 16
DIFFERING_BLOCKS = 0.01


class Builds:
    def __init__(self, linux, wine_run, exe, plugin):
        self.linux, self.wine_run, self.exe, self.plugin = linux, wine_run, exe, plugin

    def linux_run(self, *arguments):
        return run([self.linux, *arguments])

    def windows_run(self, *arguments):
        return run([self.wine_run, self.exe, *arguments])


def figures(text):
    """The printed report without the lines that name paths."""
    return [line for line in text.splitlines() if not line.startswith(("Plug-in", "Listen to", "Wrote"))]


def summed_area(png):
    """The size of a picture and its summed-area table of brightness (R+G+B)."""
    width, height, rows = read_png(png)
    table = [[0] * (width + 1)]
    for row in rows:
        above, line, total = table[-1], [0], 0
        for x in range(width):
            total += row[4 * x] + row[4 * x + 1] + row[4 * x + 2]
            line.append(above[x + 1] + total)
        table.append(line)
    return (width, height), table


def differing_blocks(linux, windows, size, shift):
    """The share of Linux's blocks that no Windows block within shift pixels matches."""
    width, height = size

    def mean(table, x, y):
        total = table[y + BLOCK][x + BLOCK] - table[y][x + BLOCK] - table[y + BLOCK][x] + table[y][x]
        return total / (3 * BLOCK * BLOCK)

    blocks = differing = 0
    for y in range(0, height - BLOCK + 1, BLOCK):
        for x in range(0, width - BLOCK + 1, BLOCK):
            blocks += 1
            shown = mean(linux, x, y)
            differing += all(abs(shown - mean(windows, nx, ny)) > BLOCK_TOLERANCE
                             for ny in range(max(0, y - shift), min(height - BLOCK, y + shift) + 1)
                             for nx in range(max(0, x - shift), min(width - BLOCK, x + shift) + 1))
    return differing / blocks


def main():
    linux, wine_run, exe, encoder, plugin, work = sys.argv[1:7]
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    builds = Builds(linux, wine_run, exe, windows_path(plugin))
    checks = Checks()

    def same(what, linux_value, windows_value):
        checks.same(what, linux_value, windows_value, ("Linux", "Windows"))

    # The demo: the same programme through each build's own plug-in.
    linux_demo = builds.linux_run("demo", work / "demo-linux", "--quiet")
    windows_demo = builds.windows_run("demo", windows_path(work / "demo-windows"), "--plugin", builds.plugin, "--quiet")
    same("ombrix demo", figures(linux_demo), figures(windows_demo))

    programme = work / "demo-linux" / "before.wav"
    linux_after, windows_after = read_wav(work / "demo-linux" / "after.wav"), read_wav(work / "demo-windows" / "after.wav")
    same("the corrected programme's rate, channels and length", (linux_after[0], linux_after[1], len(linux_after[2])),
         (windows_after[0], windows_after[1], len(windows_after[2])))
    largest = max((abs(a - b) for a, b in zip(linux_after[2], windows_after[2])), default=0.0)
    largest_dbfs = 20 * math.log10(largest) if largest > 0 else -math.inf
    same(f"the corrected programme within {LARGEST_DIFFERENCE_DBFS} dBFS of Linux's", True,
         largest_dbfs < LARGEST_DIFFERENCE_DBFS)
    print(f"demo after.wav: largest difference Windows - Linux {largest_dbfs:.1f} dBFS")

    builds.windows_run("render", windows_path(programme), windows_path(work / "uncorrected.wav"),
                       "--plugin", builds.plugin, "--quiet")
    same("the programme through the Windows VST3 with correction off, sample for sample", True,
         read_wav(programme) == read_wav(work / "uncorrected.wav"))
    files = [programme, work / "demo-linux" / "after.wav", work / "demo-windows" / "after.wav"]
    for extension in (".flac", ".mp3", ".ogg"):
        encoded = work / ("programme" + extension)
        run([wine_run, encoder, windows_path(programme), windows_path(encoded)])
        files.append(encoded)

    for path in files:
        linux_json = json.loads(builds.linux_run("analyze", "--json", path))
        windows_json = json.loads(builds.windows_run("analyze", "--json", windows_path(path)))
        linux_json.pop("file"), windows_json.pop("file")
        same(f"analyze --json {path.name}", linux_json, windows_json)

    builds.linux_run("learn", work / "programme.flac", "-o", work / "linux.omtarget", "--name", "Programme")
    builds.windows_run("learn", windows_path(work / "programme.flac"), "-o", windows_path(work / "windows.omtarget"),
                       "--name", "Programme")
    same("the learned target", (work / "linux.omtarget").read_bytes(), (work / "windows.omtarget").read_bytes())

    render = ["--target", "Pop", "--correct", "--set", "Correct Speed=5", "--bits", "24", "--quiet"]
    (work / "linux").mkdir()
    (work / "windows").mkdir()
    linux_render = builds.linux_run("render", programme, work / "linux" / "pop.wav", *render)
    windows_render = builds.windows_run("render", windows_path(programme), windows_path(work / "windows" / "pop.wav"),
                                        "--plugin", builds.plugin, *render)
    same("ombrix render", figures(linux_render), figures(windows_render))

    for scale in ("1", "2"):
        shot = ["screenshot", "--correct", "--scale", scale, "--quiet", "-o"]
        builds.linux_run(*shot, work / f"linux-{scale}.png")
        builds.windows_run(*shot, windows_path(work / f"windows-{scale}.png"))
        linux_size, linux_table = summed_area(work / f"linux-{scale}.png")
        windows_size, windows_table = summed_area(work / f"windows-{scale}.png")
        same(f"the screenshot's size at scale {scale}", linux_size, windows_size)
        share = differing_blocks(linux_table, windows_table, linux_size, 2 * int(scale)) \
            if linux_size == windows_size else 1.0
        print(f"screenshot at scale {scale}: {100 * share:.1f} % of the blocks differ from Linux's")
        same(f"the screenshot at scale {scale} drawn as on Linux", True, share <= DIFFERING_BLOCKS)

    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
