-- Builds the test session in Ardour's Lua session tool (ardour7-lua), on the
-- Dummy backend: a stereo track records the backend's pink noise, the take is
-- moved past a lead-in (so that the transport's declick at the start of an
-- export falls on silence), the plug-in is inserted with the settings given
-- and one of its parameters is automated in a step. The session is saved and
-- reloaded by export_session.lua, so the export also proves that the saved
-- session restores the plug-in.
--
-- ardour7-lua build_session.lua DIR PLUGIN_NAME RATE SECONDS LEAD_IN TAIL \
--     AUTOMATED_INDEX VALUE_BEFORE VALUE_AFTER CHANGE_AT [INDEX=VALUE ...]
-- Times in seconds, parameter values normalised (0..1). Prints "host-report:"
-- lines with what Ardour reports, and "build-ok" at the end.

local dir, plugin_name = arg[1], arg[2]
local rate, seconds, lead_in, tail = tonumber(arg[3]), tonumber(arg[4]), tonumber(arg[5]), tonumber(arg[6])
local automated, before, after, change_at = tonumber(arg[7]), tonumber(arg[8]), tonumber(arg[9]), tonumber(arg[10])

local function samples(s) return math.floor(s * rate + 0.5) end
local function at(frame) return Temporal.timepos_t(frame) end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend and not backend:isnil(), "Ardour has no Dummy backend")
backend:set_device_name("Pink Noise")
backend:set_buffer_size(512)
assert(create_session(dir, "hosttest", rate), "cannot create the session in " .. dir)

local track = Session:new_audio_track(2, 2, nil, 1, "Tolvar", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local _, ports = AudioEngine:get_backend_ports("", ARDOUR.DataType("audio"),
                                               ARDOUR.PortFlags.IsOutput | ARDOUR.PortFlags.IsPhysical,
                                               C.StringVector())
track:input():disconnect_all(nil)
assert(track:input():audio(0):connect(ports[4]:at(0)) == 0, "cannot connect the track's input")
assert(track:input():audio(1):connect(ports[4]:at(1)) == 0, "cannot connect the track's input")

-- Waits up to `seconds` for `condition`; false when it never held.
local function wait_for(condition, seconds)
  for _ = 1, seconds * 50 do
    if condition() then return true end
    ARDOUR.LuaAPI.usleep(20000)
  end
  return condition()
end

-- Ardour's own trouble (the recording is real time on a loaded machine) ends
-- the run without "build-ok", so that the harness tries again.
local function host_trouble(what)
  print("host-trouble: " .. what)
  close_session()
  quit()
end

-- Record the take.
track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
Session:maybe_enable_record(false)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
if not wait_for(function() return Session:actively_recording() end, 10) then
  return host_trouble("the transport did not start recording")
end
local started = Session:transport_sample()
wait_for(function() return Session:transport_sample() >= started + samples(seconds) end, 2 * seconds + 10)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
wait_for(function() return not Session:transport_rolling() end, 10)
Session:disable_record(false, false)
track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)

local take = nil
wait_for(function()
  for region in track:playlist():region_list():iter() do take = region end
  return take ~= nil
end, 10)
if not take then return host_trouble("the recording left no region") end
take:set_position(at(samples(lead_in)))
take:to_audioregion():set_fade_in_active(false)
take:to_audioregion():set_fade_out_active(false)
local take_end = samples(lead_in) + take:length():samples()
Session:locations():session_range_location():set(at(0), at(take_end + samples(tail)))
print(string.format("host-report: take %d frames at %d", take:length():samples(), samples(lead_in)))

-- The plug-in, first on the track.
local plugin = ARDOUR.LuaAPI.new_plugin(Session, plugin_name, ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "Ardour does not know a VST plug-in named \"" .. plugin_name .. "\"")
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "Ardour could not insert the plug-in")
local instance = plugin:to_insert():plugin(0)
print("host-report: name " .. instance:name())
print("host-report: parameters " .. instance:parameter_count())
for i = 11, #arg do
  local index, value = arg[i]:match("^(%d+)=([%d.]+)$")
  assert(index, "bad setting " .. arg[i])
  assert(ARDOUR.LuaAPI.set_processor_param(plugin, tonumber(index), tonumber(value)), "cannot set parameter " .. index)
end

-- What Ardour makes of each parameter: name, range, steps or switch, automatable.
for i = 0, instance:parameter_count() - 1 do
  local _, described = instance:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  local d = described[2]
  print(string.format("host-report: parameter %d %s range %g..%g %s", i, instance:parameter_label(i), d.lower,
                      d.upper, d.toggled and "switch" or (d.integer_step and "integer steps" or
                      (d.rangesteps > 1 and (d.rangesteps .. " steps") or "continuous"))))
end

-- A step of the automated parameter at change_at.
local list, curve = ARDOUR.LuaAPI.plugin_automation(plugin, automated)
assert(list and not list:isnil(), "Ardour offers no automation for parameter " .. automated)
-- Discrete: the value steps at the point instead of ramping towards it.
curve:set_interpolation(Evoral.InterpolationStyle.Discrete)
curve:add(at(0), before, false, false)
curve:add(at(samples(change_at)), after, false, false)
local control = plugin:to_insert():to_automatable():automation_control(
  Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, automated), false)
assert(not control:isnil(), "Ardour has no automation control for parameter " .. automated)
control:set_automation_state(ARDOUR.AutoState.Play)

Session:save_state("", false, false, false, false, false)
print(string.format("host-report: latency %d frames", plugin:signal_latency()))
close_session()
print("build-ok")
