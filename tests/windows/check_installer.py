#!/usr/bin/env python3
"""The Windows installer, as a user runs it, in the build's wine prefix:

- "setup.exe /S" installs silently: the VST3 into %CommonProgramFiles%\\VST3,
  ombrix.exe and the Standalone into %ProgramFiles%\\Kestrune\\Ombrix, a Start
  menu entry, and the entry of "Apps & features" (name, publisher, version,
  size, the uninstaller);
- the installed ombrix.exe renders through the installed VST3 (found there by
  itself) and gives back its input exactly with the default settings;
- "Uninstall.exe /S" removes all of it and keeps the user's presets.

    check_installer.py WINE_RUN INSTALLER VERSION WORK_DIR
"""
import pathlib
import random
import shutil
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from windows_checks import Checks, read_wav, run, windows_path, write_wav16  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune Ombrix"


class Prefix:
    def __init__(self, wine_run):
        self.wine_run = wine_run
        self.root = pathlib.Path(wine_run).parent / "wine-prefix"
        self.run("cmd", "/c", "exit", "0")

    def run(self, *arguments):
        return run([self.wine_run, *arguments], timeout=300)

    def unix(self, path):
        """The file of the prefix behind a C:\\ path."""
        assert path[:3].upper() == "C:\\", path
        return self.root / "drive_c" / path[3:].replace("\\", "/")

    def variable(self, name):
        return self.run("cmd", "/c", "echo", f"%{name}%").strip()

    def registry(self, key):
        done = subprocess.run([self.wine_run, "reg", "query", key], capture_output=True, text=True, timeout=300,
                              stdin=subprocess.DEVNULL)
        if done.returncode != 0:
            return None
        values = {}
        for line in done.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
        return values


def main():
    wine_run, installer, version, work = sys.argv[1:5]
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    prefix = Prefix(wine_run)
    checks = Checks()
    expect = checks.expect

    program_files = prefix.variable("ProgramFiles")
    common_files = prefix.variable("CommonProgramFiles")
    programs = prefix.unix(program_files + r"\Kestrune\Ombrix")
    bundle = prefix.unix(common_files + r"\VST3\Ombrix.vst3")
    module = bundle / "Contents" / "x86_64-win" / "Ombrix.vst3"
    shortcut = prefix.unix(prefix.variable("ProgramData") + r"\Microsoft\Windows\Start Menu\Programs\Ombrix.lnk")
    # A preset the user saved before: the uninstaller must leave it.
    presets = prefix.unix(prefix.variable("LOCALAPPDATA") + r"\Ombrix\Presets")
    presets.mkdir(parents=True, exist_ok=True)
    preset = presets / "Kept after uninstall.ompreset"
    preset_text = b"a preset the user saved\n"
    preset.write_bytes(preset_text)

    prefix.run(windows_path(installer), "/S")
    for path in (module, programs / "ombrix.exe", programs / "ombrix-standalone.exe", programs / "Uninstall.exe",
                 shortcut):
        expect(path.is_file(), f"the installer did not put {path} in place")
    expect(sorted(p.name for p in bundle.rglob("*") if p.is_file()) == ["Ombrix.vst3"],
           f"the bundle holds other files: {sorted(map(str, bundle.rglob('*')))}")
    entry = prefix.registry(UNINSTALL_KEY) or {}
    expect(entry.get("DisplayName") == "Ombrix", f"Apps & features: DisplayName {entry.get('DisplayName')}")
    expect(entry.get("Publisher") == "Kestrune", f"Apps & features: Publisher {entry.get('Publisher')}")
    expect(entry.get("DisplayVersion") == version, f"Apps & features: DisplayVersion {entry.get('DisplayVersion')}")
    size_kib = int(entry.get("EstimatedSize", "0x0"), 16)
    installed_kib = (sum(p.stat().st_size for p in programs.iterdir()) + module.stat().st_size) // 1024
    expect(abs(size_kib - installed_kib) <= 16, f"Apps & features: EstimatedSize {size_kib} KiB, {installed_kib} installed")
    expect(entry.get("UninstallString") == f'"{program_files}\\Kestrune\\Ombrix\\Uninstall.exe"',
           f"Apps & features: UninstallString {entry.get('UninstallString')}")

    # The installed tool finds the installed plug-in by itself, and the
    # plug-in with its default settings returns the audio unchanged.
    rng = random.Random(5)
    source = work / "noise.wav"
    write_wav16(source, 48000, 2, [rng.uniform(-0.5, 0.5) for _ in range(2 * 48000)])
    rendered = work / "rendered.wav"
    done = prefix.run(program_files + r"\Kestrune\Ombrix\ombrix.exe", "render", windows_path(source),
                      windows_path(rendered), "--quiet")
    plugin_line = next((line for line in done.splitlines() if line.startswith("Plug-in")), "")
    expect(plugin_line.split(None, 1)[-1] == common_files + r"\VST3\Ombrix.vst3",
           f"the installed ombrix.exe rendered through {plugin_line!r}")
    expect(rendered.is_file() and read_wav(rendered) == read_wav(source),
           "the installed plug-in did not return its input exactly")

    prefix.run(program_files + r"\Kestrune\Ombrix\Uninstall.exe", "/S")
    # The uninstaller hands over to a copy of itself in %TEMP% and returns.
    deadline = time.monotonic() + 60
    while (programs / "Uninstall.exe").exists() and time.monotonic() < deadline:
        time.sleep(0.5)
    for path in (bundle, programs, programs.parent, shortcut):
        expect(not path.exists(), f"the uninstaller left {path}")
    expect(prefix.registry(UNINSTALL_KEY) is None, "the uninstaller left the Apps & features entry")
    expect(preset.is_file() and preset.read_bytes() == preset_text, "the uninstaller removed the user's preset")
    preset.unlink(missing_ok=True)

    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
