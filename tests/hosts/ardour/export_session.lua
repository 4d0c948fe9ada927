-- Loads the saved test session and exports its session range as 32-bit float
-- WAV (the preset tolvar-float.preset in the harness's configuration folder).
--
-- ardour7-lua export_session.lua DIR NAME
-- Writes DIR/export/NAME.wav; prints the plug-in's latency as Ardour sees it
-- after the reload, and "export-ok" at the end.

local dir, name = arg[1], arg[2]
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend and not backend:isnil(), "Ardour has no Dummy backend")
backend:set_buffer_size(512)
assert(load_session(dir, "hosttest"), "cannot load the session in " .. dir)

local track = Session:route_by_name("Tolvar")
assert(not track:isnil(), "the reloaded session has no track Tolvar")
local plugin = track:nth_plugin(0)
assert(not plugin:isnil(), "the reloaded session lost the plug-in")
print(string.format("host-report: after reload: latency %d frames, track latency %d frames",
                    plugin:signal_latency(), track:signal_latency()))

local export = Session:simple_export()
export:set_name(name)
export:set_folder(dir .. "/export")
assert(export:set_preset("6f1d2c3a-7b1e-4c55-9e1a-0d7a5b1c2e01"), "Ardour did not find the export preset")
assert(export:run_export(), "Ardour's export failed")
close_session()
print("export-ok")
