#!/usr/bin/env python3
"""Installs the build the two ways a user does and checks what lands where.

  check_install.py layout BUILD   cmake --install into a per-user prefix (a
                                  stand-in home's .local) and into PREFIX/usr
  check_install.py package BUILD  cpack's Debian package: its contents and
                                  fields, then the extracted ombrix analysing
                                  a file

Everything goes to a temporary folder that is removed afterwards.
"""
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

BUNDLE_FILES = [
    "Ombrix.vst3/Contents/x86_64-linux/Ombrix.so",
    "Ombrix.lv2/manifest.ttl",
    "Ombrix.lv2/dsp.ttl",
    "Ombrix.lv2/libOmbrix.so",
]


def run(*command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {' '.join(command)}\n{result.stdout}{result.stderr}")
    return result.stdout


def expect(condition, what):
    if not condition:
        sys.exit("not as expected: " + what)


def write_tone(path):
    """Four seconds of a 1 kHz stereo sine at -20 dBFS peak, 16-bit."""
    rate = 48000
    peak = 10 ** (-20 / 20) * 32767
    frames = b"".join(struct.pack("<hh", s, s) for s in
                      (int(round(peak * math.sin(2 * math.pi * 1000 * n / rate))) for n in range(4 * rate)))
    with wave.open(path, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(frames)


def check_layout(build, scratch):
    home = os.path.join(scratch, "home")
    run("cmake", "--install", build, "--prefix", os.path.join(home, ".local"))
    for folder, name in [(".vst3", BUNDLE_FILES[0]), (".lv2", BUNDLE_FILES[1]), (".lv2", BUNDLE_FILES[3])]:
        expect(os.path.isfile(os.path.join(home, folder, name)), f"~/{folder}/{name} after a per-user install")
    for program in ["ombrix", "ombrix-standalone"]:
        expect(os.access(os.path.join(home, ".local/bin", program), os.X_OK), f"~/.local/bin/{program}")
    expect(not os.path.exists(os.path.join(home, ".local/lib")), "nothing in ~/.local/lib")

    system = os.path.join(scratch, "system/usr")
    run("cmake", "--install", build, "--prefix", system)
    expect(os.path.isfile(os.path.join(system, "lib/vst3", BUNDLE_FILES[0])), "/usr/lib/vst3")
    expect(os.path.isfile(os.path.join(system, "lib/lv2", BUNDLE_FILES[2])), "/usr/lib/lv2")
    for program in ["ombrix", "ombrix-standalone"]:
        expect(os.access(os.path.join(system, "bin", program), os.X_OK), f"/usr/bin/{program}")


def check_package(build, scratch, version):
    run("cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", scratch)
    deb = os.path.join(scratch, f"ombrix_{version}_amd64.deb")
    expect(os.path.isfile(deb), deb + " written")

    contents = run("dpkg-deb", "--contents", deb)
    for name in ["./usr/bin/ombrix", "./usr/bin/ombrix-standalone"] + \
            [f"./usr/lib/{'vst3' if n.startswith('Ombrix.vst3') else 'lv2'}/{n}" for n in BUNDLE_FILES]:
        expect(f" {name}\n" in contents, f"{name} in the package:\n{contents}")
    depends = run("dpkg-deb", "--field", deb, "Depends")
    for library in ["libc6", "libsndfile1", "libfftw3-single3", "libcurl4"]:
        expect(library in depends, f"{library} among the dependencies dpkg-shlibdeps found: {depends}")
    expect(run("dpkg-deb", "--field", deb, "Package").strip() == "ombrix", "package name")
    expect(run("dpkg-deb", "--field", deb, "Version").strip() == version, "version")
    expect("tonal balance" in run("dpkg-deb", "--field", deb, "Description"), "a description")

    root = os.path.join(scratch, "root")
    run("dpkg-deb", "--extract", deb, root)
    tone = os.path.join(scratch, "tone.wav")
    write_tone(tone)
    report = json.loads(run(os.path.join(root, "usr/bin/ombrix"), "analyze", "--json", "--quiet", tone))
    expect(report["ok"], f"the extracted ombrix analysed the file: {report}")
    # Both channels at a -20 dBFS peak sine: -20 LUFS (within the K filter's gain at 1 kHz).
    expect(abs(report["integrated_lufs"] + 20.0) < 0.3, f"-20 LUFS: {report['integrated_lufs']}")
    expect(abs(report["duration_s"] - 4.0) < 1e-6, "four seconds")


def main():
    mode, build = sys.argv[1], os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="ombrix-install-") as scratch:
        if mode == "layout":
            check_layout(build, scratch)
        else:
            check_package(build, scratch, sys.argv[3])
    print(f"{mode}: as expected")


if __name__ == "__main__":
    main()
