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
# Screenshots: the share of 16-pixel blocks whose mean brightness may differ
# by more than 16 levels (glyphs placed a pixel apart; measured: under 1 %).
BLOCK = 16
BLOCK_TOLERANCE = 16
DIFFERING_BLOCKS = 0.03


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


def block_means(png):
    """The size of a picture and the mean brightness of each of its blocks."""
    width, height, rows = read_png(png)
    sums = {}
    for y, row in enumerate(rows):
        for x in range(width):
            key = (x // BLOCK, y // BLOCK)
            sums[key] = sums.get(key, 0) + row[4 * x] + row[4 * x + 1] + row[4 * x + 2]
    return (width, height), {key: total / (3 * BLOCK * BLOCK) for key, total in sums.items()}


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
        linux_size, linux_blocks = block_means(work / f"linux-{scale}.png")
        windows_size, windows_blocks = block_means(work / f"windows-{scale}.png")
        same(f"the screenshot's size at scale {scale}", linux_size, windows_size)
        share = sum(abs(linux_blocks[key] - windows_blocks.get(key, -255)) > BLOCK_TOLERANCE
                    for key in linux_blocks) / len(linux_blocks)
        print(f"screenshot at scale {scale}: {100 * share:.1f} % of the blocks differ from Linux's")
        same(f"the screenshot at scale {scale} drawn as on Linux", True, share <= DIFFERING_BLOCKS)

    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
