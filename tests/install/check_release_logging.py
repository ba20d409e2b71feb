#!/usr/bin/env python3
"""A release build configured as the README says logs nothing: JUCE's
assertion log and leak detector are compiled into Debug builds (and the test
build) only, never into the plug-in a user installs, whose audio thread must
not write to a log.

  check_release_logging.py SOURCE

Configures SOURCE twice in temporary folders (Release, then Debug) and reads
the compile commands CMake writes for the plug-in's sources.
"""
import json
import os
import subprocess
import sys
import tempfile

FLAGS = ("-DJUCE_LOG_ASSERTIONS=1", "-DJUCE_CHECK_MEMORY_LEAKS=1")


def plugin_commands(source, build_type, folder):
    result = subprocess.run(
        ["cmake", "-S", source, "-B", folder, f"-DCMAKE_BUILD_TYPE={build_type}",
         "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON", "-DOMBRIX_BUILD_BENCHMARKS=OFF"],
        capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"configuring a {build_type} build failed:\n{result.stdout}{result.stderr}")
    with open(os.path.join(folder, "compile_commands.json")) as f:
        entries = json.load(f)
    # The shared code of the three formats, JUCE's modules included.
    commands = [e["command"] for e in entries
                if e["directory"].endswith("/plugin") and " -o CMakeFiles/Ombrix.dir/" in e["command"]]
    if not commands:
        sys.exit(f"no compile command of the plug-in in the {build_type} build")
    return commands


def main():
    source = sys.argv[1]
    with tempfile.TemporaryDirectory() as temp:
        for build_type, wanted in (("Release", False), ("Debug", True)):
            commands = plugin_commands(source, build_type, os.path.join(temp, build_type))
            for flag in FLAGS:
                having = sum(flag in c for c in commands)
                if wanted and having != len(commands):
                    sys.exit(f"{build_type}: {flag} missing from {len(commands) - having} of {len(commands)} sources")
                if not wanted and having:
                    sys.exit(f"{build_type}: {flag} in {having} of {len(commands)} sources: the plug-in would log")
    print("release: no JUCE logging; debug: assertions and leaks logged")


if __name__ == "__main__":
    main()
