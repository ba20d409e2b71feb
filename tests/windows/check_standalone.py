#!/usr/bin/env python3
"""The Windows Standalone application under wine on the virtual display, with
no sound card: its window shows the editor below the strip that explains the
muted input, a click on the strip's button unmutes it, and a close request
(what a window manager sends for the close box; wine turns it into the
window's SC_CLOSE) quits it with status 0, with no JUCE assertion and no leaked object reported. All it
wrote to the prefix's C: drive is in %LOCALAPPDATA%\Ombrix (its audio
settings) or %LOCALAPPDATA%\Kestrune.

    check_standalone.py WINE_RUN STANDALONE_EXE WORK_DIR
"""
import os
import pathlib
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from windows_checks import Checks, run  # noqa: E402
from x_display import Display  # noqa: E402

TITLE = "Ombrix"
SETTINGS_BUTTON_WIDTH = 116  # the strip's "Audio settings…" button, right-aligned with 6-pixel gaps


def shown_window():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$"], capture_output=True,
                           text=True)
    ids = found.stdout.split()
    return int(ids[0]) if ids else None


def strip_warns(image):
    """Whether the warning colour (orange) shows in the top 30 rows."""
    width, _, rows = image
    for row in rows[:30]:
        for x in range(width):
            r, g, b = row[4 * x], row[4 * x + 1], row[4 * x + 2]
            if r > 200 and 110 < g < 190 and b < 100:
                return True
    return False


def files_of(drive_c):
    """Each file of the drive (but Windows' own folder and the Temp folders,
    which other test programs use meanwhile) with its size and time."""
    found = {}
    for folder, subfolders, names in os.walk(drive_c):
        relative = pathlib.Path(folder).relative_to(drive_c)
        subfolders[:] = [name for name in subfolders
                         if not (relative == pathlib.Path(".") and name == "windows") and name.lower() != "temp"]
        for name in names:
            stat = os.stat(os.path.join(folder, name))
            found[relative / name] = (stat.st_size, stat.st_mtime_ns)
    return found


def in_data_folders(relative):
    parts = [part.lower() for part in relative.parts]
    return (len(parts) > 5 and parts[0] == "users" and parts[2:4] == ["appdata", "local"]
            and parts[4] in ("ombrix", "kestrune"))


def main():
    wine_run, standalone, work = sys.argv[1:4]
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    checks = Checks()
    env = dict(os.environ, WINEDEBUG="-all,+debugstr", KESTRUNE_UPDATES_URL="http://127.0.0.1:9/updates.json")
    drive_c = pathlib.Path(wine_run).parent / "wine-prefix" / "drive_c"
    # As on the first start: the input muted (the settings remember unmuting).
    for settings in drive_c.glob("users/*/AppData/Local/Ombrix/Ombrix.settings"):
        settings.unlink()
    before = files_of(drive_c)
    display = Display()
    log = open(work / "output.log", "w+b")
    application = subprocess.Popen([wine_run, standalone], stdin=subprocess.DEVNULL, stdout=log, stderr=log, env=env)
    try:
        window = None
        shown_by = time.monotonic() + 60
        while window is None and time.monotonic() < shown_by and application.poll() is None:
            time.sleep(0.2)
            window = shown_window()
        if window is None:
            log.seek(0)
            raise SystemExit(f"no window appeared; the application wrote:\n{log.read().decode(errors='replace')}")
        time.sleep(1.5)  # its first pictures

        image = display.picture(window)
        width, height, rows = image
        checks.expect(width >= 480 and height >= 300, f"the window is {width} x {height}")
        colours = {row[4 * x:4 * x + 3] for row in rows[::7] for x in range(0, width, 7)}
        checks.expect(len(colours) >= 8, f"the window shows {len(colours)} colours: not the editor")
        checks.expect(strip_warns(image), "the muted input is not explained above the editor")

        button_x = width - 6 - SETTINGS_BUTTON_WIDTH - 6 - 52
        run(["xdotool", "mousemove", "--window", str(window), str(button_x), "15", "click", "1"])
        time.sleep(0.8)
        checks.expect(not strip_warns(display.picture(window)),
                      "unmuted: the warning is still shown")

        display.request_close(window)
        try:
            checks.same("the exit status after the close request", 0, application.wait(timeout=30))
        except subprocess.TimeoutExpired:
            checks.expect(False, "still running 30 s after the close request")
    finally:
        if application.poll() is None:
            application.kill()
            application.wait()
        display.close()
    after = files_of(drive_c)
    written = sorted(str(path) for path, stamp in after.items() if before.get(path) != stamp)
    checks.expect(written and all(in_data_folders(pathlib.Path(path)) for path in written),
                  f"it wrote outside its data folders (or wrote no settings): {written}")
    log.seek(0)
    output = log.read().decode(errors="replace")
    for report in ("JUCE Assertion failure", "Leaked objects"):
        checks.expect(report not in output, f"{report} in the output:\n{output}")
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
