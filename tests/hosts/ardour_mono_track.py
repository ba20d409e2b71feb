#!/usr/bin/env python3
"""Ombrix on a mono track of Ardour 7, the way Ardour's editor makes one when a
mono file is imported: one input channel and strict I/O, so Ardour asks the
VST3 for a mono layout. The track, bounced with its processing, must come out
exactly as it went in (correction off) and never silent; the same for the LV2.

  ardour_mono_track.py BUNDLE.vst3 BUNDLE.lv2 LV2_URI

Ardour runs headless (ardour7-lua, the "None (Dummy)" backend) with its
configuration, caches and plug-in folder in a temporary folder. Exits 0 when
the bounce equals the input, 1 otherwise, 77 (skipped) without Ardour.
"""
import os
import shutil
import subprocess
import sys
import tempfile

RATE = 48000
SECONDS = 4

BUILD_LUA = r"""
local dir, frames = arg[1], tonumber(arg[2])
local function main()
  if not create_session(dir, "mono", 48000) then error("no session", 0) end
  local tracks = Session:new_audio_track(1, 2, nil, 1, "Mono", ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, true, false)
  local track = tracks:front()
  track:set_strict_io(true)
  -- An empty bounce gives a region with an Ardour-owned source file, which
  -- the test then fills with its signal.
  local region = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), track:main_outs(), false, "input")
  if region:isnil() then error("no region", 0) end
  Session:begin_reversible_command("insert region")
  track:playlist():add_region(region, Temporal.timepos_t(0), 1, false)
  Session:commit_reversible_command(nil)
  for r in track:playlist():region_list():iter() do
    r:to_audioregion():set_fade_in_active(false)
    r:to_audioregion():set_fade_out_active(false)
  end
  print("@@SOURCE " .. region:to_audioregion():source(0):to_filesource():path())
  Session:save_state("", false, false, false, false, false)
end
local ok, err = pcall(main)
print(ok and "@@OK" or ("@@FAIL " .. tostring(err)))
"""

RENDER_LUA = r"""
local dir, frames, format, id = arg[1], tonumber(arg[2]), arg[3], arg[4]
local function main()
  if not load_session(dir, "mono") then error("the session did not load", 0) end
  local track = Session:route_by_name("Mono"):to_track()
  local ptype = format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3
  local proc = ARDOUR.LuaAPI.new_plugin(Session, id, ptype, "")
  if proc:isnil() then error("Ardour could not create Ombrix", 0) end
  if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then error("Ombrix did not fit the track", 0) end
  ARDOUR.LuaAPI.wait_for_process_callback(4, 2000)
  local region = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), track:main_outs(), false, "render")
  if region:isnil() then error("the bounce failed", 0) end
  local r = region:to_audioregion()
  for c = 0, r:n_channels() - 1 do print("@@OUT " .. r:source(c):to_filesource():path()) end
end
local ok, err = pcall(main)
print(ok and "@@OK" or ("@@FAIL " .. tostring(err)))
"""


def run_lua(env, script, *args):
    result = subprocess.run(["ardour7-lua", script, *args], env=env, capture_output=True, text=True,
                            timeout=300)
    if "@@OK" not in result.stdout:
        sys.exit(f"Ardour ({os.path.basename(script)}) failed:\n{result.stdout[-3000:]}{result.stderr[-3000:]}")
    return result.stdout


def tagged(output, tag):
    return [line[len(tag) + 1:] for line in output.splitlines() if line.startswith(tag + " ")]


def samples(path):
    """The file's samples as raw 32-bit floats."""
    return subprocess.run(["sox", "-D", path, "-t", "f32", "-"], capture_output=True, check=True).stdout


def main():
    if shutil.which("ardour7-lua") is None:
        print("Ardour 7 is not installed: skipped")
        return 77
    bundle, lv2_bundle, lv2_uri = (os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3])
    with tempfile.TemporaryDirectory() as temp:
        env = dict(os.environ, HOME=temp, XDG_CONFIG_HOME=f"{temp}/config", XDG_CACHE_HOME=f"{temp}/cache",
                   XDG_DATA_HOME=f"{temp}/data", VST3_PATH=f"{temp}/vst3", LV2_PATH=f"{temp}/lv2")
        env.pop("DISPLAY", None)
        os.makedirs(f"{temp}/vst3")
        copy = f"{temp}/vst3/{os.path.basename(bundle)}"
        shutil.copytree(bundle, copy, symlinks=False)
        shutil.copytree(lv2_bundle, f"{temp}/lv2/{os.path.basename(lv2_bundle)}", symlinks=False)
        # Ardour trusts its scan of a module only while the module is older than the scan.
        subprocess.run(["find", f"{temp}/vst3", "-exec", "touch", "-h", "-d", "2000-01-01", "{}", "+"], check=True)
        scan = subprocess.run(["/usr/lib/ardour7/ardour-vst3-scanner", "-f", copy], capture_output=True, text=True,
                              env=dict(env, LD_LIBRARY_PATH="/usr/lib/ardour7"))
        if scan.returncode != 0:
            sys.exit(f"Ardour's scanner failed:\n{scan.stdout}{scan.stderr}")
        for name, text in (("build.lua", BUILD_LUA), ("render.lua", RENDER_LUA)):
            with open(f"{temp}/{name}", "w") as f:
                f.write(text)

        frames = str(RATE * SECONDS)
        session = f"{temp}/session"
        [source] = tagged(run_lua(env, f"{temp}/build.lua", session, frames), "@@SOURCE")
        subprocess.run(["sox", "-D", "-n", "-r", str(RATE), "-c", "1", "-e", "floating-point", "-b", "32",
                        "-t", "wav", f"{source}.new", "synth", str(SECONDS), "pinknoise", "synth", str(SECONDS), "sine", "mix",
                        "220", "vol", "0.3"], check=True)
        os.replace(f"{source}.new", source)
        shutil.rmtree(f"{session}/peaks", ignore_errors=True)

        wanted = samples(source)
        if not any(wanted):
            sys.exit("the test signal is silent")
        for fmt, plugin in (("VST3", "Ombrix"), ("LV2", lv2_uri)):
            outputs = tagged(run_lua(env, f"{temp}/render.lua", session, frames, fmt, plugin), "@@OUT")
            got = samples(outputs[0])
            if not any(got):
                sys.exit(f"{fmt}: the mono track came out silent")
            if got != wanted:
                sys.exit(f"{fmt}: the mono track came out changed ({len(got)} bytes against {len(wanted)})")
            print(f"{fmt} on a mono track, {len(outputs)} output channel(s): bit-exact, {SECONDS} s")
        return 0


if __name__ == "__main__":
    sys.exit(main())
