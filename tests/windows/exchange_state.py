#!/usr/bin/env python3
"""A project saved on Linux opens on Windows and back: the state a host
stores for the plug-in, written by one build's VST3, restores in the other
build's VST3 with every parameter, the target, the window size and the
colour scheme; both builds write the same bytes for the same settings.

    exchange_state.py LINUX_STATE_EXCHANGE LINUX_VST3 WINE_RUN WINDOWS_STATE_EXCHANGE WINDOWS_VST3 WORK_DIR
"""
import os
import pathlib
import shutil
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from windows_checks import Checks, run, windows_path  # noqa: E402


def main():
    linux_exchange, linux_vst3, wine_run, windows_exchange, windows_vst3, work = sys.argv[1:7]
    work = pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    # The Linux plug-in keeps its files in a data folder of the test's own.
    linux_env = dict(os.environ, XDG_DATA_HOME=str(work / "linux-data"))
    linux = {"save": lambda f: run([linux_exchange, "save", linux_vst3, f], linux_env),
             "load": lambda f: run([linux_exchange, "load", linux_vst3, f], linux_env)}
    windows = {"save": lambda f: run([wine_run, windows_exchange, "save", windows_path(windows_vst3), windows_path(f)]),
               "load": lambda f: run([wine_run, windows_exchange, "load", windows_path(windows_vst3), windows_path(f)])}
    checks = Checks()
    same = checks.same

    saved = {"Linux": linux["save"](work / "linux.state").strip(),
             "Windows": windows["save"](work / "windows.state").strip()}
    same("the state each build saves for the same settings", saved["Linux"], saved["Windows"])

    restored = {}
    for writer, reader, build in (("linux", "Windows", windows), ("windows", "Linux", linux),
                                  ("linux", "Linux", linux), ("windows", "Windows", windows)):
        restored[(writer, reader)] = build["load"](work / f"{writer}.state")
    reference = restored[("linux", "Linux")]
    for line in ("Correct = on", "Freeze = on", "target Ünïcødé mix (mix.wav), window 960 x 600, colour scheme 3, "
                 "preset Night drive"):
        same(f"the Linux build reads back its own state ({line})", True, line in reference.splitlines())
    for (writer, reader), text in restored.items():
        same(f"the {writer} state read by the {reader} build", reference, text)
    # What the restoring build saves again is what the other build saved.
    same("the Linux state saved again by the Windows build", saved["Linux"],
         restored[("linux", "Windows")].splitlines()[-1])
    same("the Windows state saved again by the Linux build", saved["Windows"],
         restored[("windows", "Linux")].splitlines()[-1])

    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
