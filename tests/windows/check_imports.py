#!/usr/bin/env python3
"""Every Windows program of the build imports Windows system DLLs only: the
C and C++ runtimes and the libraries are linked in statically, so nothing has
to be shipped beside a program or a plug-in.

    check_imports.py OBJDUMP FILE_OR_FOLDER...
"""
import pathlib
import subprocess
import sys

# DLLs that every Windows 10 and 11 installation has.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dwmapi.dll", "gdi32.dll",
    "imm32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "opengl32.dll",
    "rpcrt4.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "uxtheme.dll",
    "version.dll", "winhttp.dll", "wininet.dll", "winmm.dll", "ws2_32.dll", "wsock32.dll",
    "dxgi.dll", "d2d1.dll", "dwrite.dll", "shcore.dll", "bcrypt.dll",
    # The API set of WaitOnAddress (Windows 8 and later).
    "api-ms-win-core-synch-l1-2-0.dll",
}
BINARY_SUFFIXES = {".exe", ".dll", ".vst3"}


def binaries(roots):
    for root in map(pathlib.Path, roots):
        if root.is_file():
            yield root
            continue
        for path in sorted(root.rglob("*")):
            if path.suffix.lower() in BINARY_SUFFIXES and path.is_file() and "wine-prefix" not in path.parts:
                yield path


def imports(objdump, path):
    text = subprocess.run([objdump, "-p", str(path)], check=True, capture_output=True, text=True).stdout
    return [line.split("DLL Name:")[1].strip() for line in text.splitlines() if "DLL Name:" in line]


def main():
    objdump, roots = sys.argv[1], sys.argv[2:]
    checked = 0
    failures = 0
    for path in binaries(roots):
        checked += 1
        foreign = [name for name in imports(objdump, path) if name.lower() not in SYSTEM_DLLS]
        if foreign:
            failures += 1
            print(f"{path}: imports {', '.join(foreign)}, which Windows does not have")
    if checked == 0:
        print("no Windows programs found in " + ", ".join(roots))
        return 1
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
