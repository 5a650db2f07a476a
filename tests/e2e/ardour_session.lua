-- SPDX-License-Identifier: GPL-3.0-or-later
-- Builds an Ardour session around Zembra and exports it, headless (ardour7-lua, Dummy
-- backend): ardour7-lua ardour_session.lua JOB.lua. JOB.lua returns {dir, name, buffer,
-- format ("LV2"/"VST3"), a, b, frames, at, routing, params (name -> host value), from, to,
-- outdir}, positions in samples (ArdourSession.cpp writes it). Routing "pins": one stereo
-- track, A left and B right, its right channel wired to B's pin; "send": B on a track of its
-- own, sent to the side-chain input; "direct": that track's output connected to it.
-- It prints "lag N" (the latency Ardour compensates) and "exported" when done.
local job = dofile(arg[1])

local function check(ok, what)
	if not ok then
		print("failed: " .. what)
		io.stdout:flush()
		quit()
	end
end

check(AudioEngine:set_backend("None (Dummy)", "", ""), "Dummy backend")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(job.buffer)
check(AudioEngine:start(false) == 0, "engine start")
check(create_session(job.dir, job.name, 48000), "create session")

-- Tracks first; their regions are written into the saved session below, since the session
-- tool cannot import files itself.
local order = ARDOUR.PresentationInfo.max_order
local normal = ARDOUR.TrackMode.Normal
local function track(inputs, outputs, name)
	local t = Session:new_audio_track(inputs, outputs, nil, 1, name, order, normal, true, false):front()
	check(t and not t:isnil(), "track " .. name)
	return t
end
local host = track(job.routing == "pins" and 2 or 1, 2, "A")
-- B's track is mono to the end, so it reaches the plug-in at unity gain (no panner).
local feeder = job.routing ~= "pins" and track(1, 1, "B") or nil

local pluginType = job.format == "VST3" and ARDOUR.PluginType.VST3 or ARDOUR.PluginType.LV2
local proc = ARDOUR.LuaAPI.new_plugin(Session, "Zembra", pluginType, "")
check(not proc:isnil(), "Zembra (" .. job.format .. ") found")
check(host:add_processor_by_index(proc, 0, nil, true) == 0, "plug-in added")
local insert = proc:to_plugininsert()
local plugin = insert:plugin(0)

-- Parameters by name, through the host's own control path.
local control = 0
for i = 0, plugin:parameter_count() - 1 do
	if plugin:parameter_is_control(i) then
		local value = job.params[plugin:parameter_label(i)]
		if value ~= nil and plugin:parameter_is_input(i) then
			check(ARDOUR.LuaAPI.set_processor_param(proc, control, value), "set " .. plugin:parameter_label(i))
		end
		control = control + 1
	end
end

if job.routing == "pins" then
	-- The track's second channel to the plug-in's second pin (Pin Connections in the editor).
	local map = ARDOUR.ChanMapping()
	map:set(ARDOUR.DataType("audio"), 0, 0)
	map:set(ARDOUR.DataType("audio"), 1, 1)
	insert:set_input_map(0, map)
else
	check(host:add_sidechain(proc), "side-chain input")
	local sidechain = insert:sidechain_input()
	check(not sidechain:isnil(), "side-chain input ports")
	-- B stays off the master bus: only the plug-in hears it.
	feeder:output():disconnect_all(nil)
	if job.routing == "send" then
		local send = ARDOUR.LuaAPI.new_send(Session, feeder, feeder:main_outs())
		check(not send:isnil(), "send")
		send:to_send():output():disconnect_all(nil)
		send:to_send():output():audio(0):connect(sidechain:audio(0):name())
	else
		feeder:output():audio(0):connect(sidechain:audio(0):name())
	end
end
-- A VST3 plug-in hears the values only in its next process cycles, and the state Ardour
-- saves comes from the plug-in: save once a few cycles have run.
local cycle = AudioEngine:processed_samples()
while AudioEngine:processed_samples() < cycle + 3 * job.buffer do
	ARDOUR.LuaAPI.usleep(1000)
end
print("lag " .. insert:signal_latency())
check(Session:save_state("", false, false, false, false, false) == 0, "save")
close_session()

-- The material goes in as the session's own sources: the files are copied into its audio
-- folder and each track's playlist gets one region of them, without fades.
local function copy(from, to)
	local input = assert(io.open(from, "rb"))
	local output = assert(io.open(to, "wb"))
	output:write(input:read("a"))
	input:close()
	output:close()
end
local audio = job.dir .. "/interchange/" .. job.name .. "/audiofiles/"
copy(job.a, audio .. "a.wav")
copy(job.b, audio .. "b.wav")
local file = job.dir .. "/" .. job.name .. ".ardour"
local xml = assert(io.open(file, "rb")):read("a")
local sources = '<Sources>\n'
	.. '<Source name="a.wav" type="audio" flags="" id="900001" channel="0" origin="" gain="1"/>\n'
	.. '<Source name="b.wav" type="audio" flags="" id="900002" channel="0" origin="" gain="1"/>\n'
	.. '</Sources>'
local function region(id, name, sourceIds, wholeFile, position)
	local text = '<Region name="' .. name .. '" muted="0" opaque="1" locked="0" video-locked="0"'
		.. ' automatic="0" whole-file="' .. (wholeFile and 1 or 0) .. '" import="0" external="0"'
		.. ' sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" position-locked="0"'
		.. ' valid-transients="0" start="0" length="' .. job.frames .. '"'
		.. ' position="' .. (wholeFile and 0 or position) .. '" sync-position="0"'
		.. ' ancestral-start="0" ancestral-length="0" stretch="1" shift="1" layering-index="0"'
		.. ' envelope-active="0" default-fade-in="0" default-fade-out="0" fade-in-active="0"'
		.. ' fade-out-active="0" scale-amplitude="1" id="' .. id .. '" type="audio"'
		.. ' first-edit="nothing" channels="' .. #sourceIds .. '"'
	for i, source in ipairs(sourceIds) do
		text = text .. ' source-' .. (i - 1) .. '="' .. source .. '" master-source-' .. (i - 1) .. '="' .. source .. '"'
	end
	return text .. '/>\n'
end
local hostSources = job.routing == "pins" and { 900001, 900002 } or { 900001 }
local regions = '<Regions>\n' .. region(900011, "A", hostSources, true)
if feeder then regions = regions .. region(900012, "B", { 900002 }, true) end
regions = regions .. '</Regions>'
local function fill(text, playlist, body)
	local pattern = '(<Playlist [^>]-name="' .. playlist .. '" type="audio"[^>]-)/>'
	local filled, n = text:gsub(pattern, '%1>' .. body .. '</Playlist>', 1)
	check(n == 1, "playlist " .. playlist)
	return filled
end
xml = xml:gsub("<Sources/>", sources, 1):gsub("<Regions/>", regions, 1)
xml = fill(xml, "A", region(900021, "A.1", hostSources, false, job.at))
if feeder then
	xml = fill(xml, "B", region(900022, "B.1", { 900002 }, false, job.at))
end
local out = assert(io.open(file, "wb"))
out:write(xml)
out:close()

check(load_session(job.dir, job.name), "load session")
for _, name in ipairs({ "A", "B" }) do
	local t = Session:route_by_name(name)
	if not t:isnil() then
		check(t:to_track():playlist():n_regions() == 1, "region on " .. name)
	end
end

-- Export through a preset of our own: 32-bit float, no normalising, no dither, written where
-- the job says.
local presets = ARDOUR.user_config_directory(-1) .. "/export"
os.execute("mkdir -p '" .. presets .. "'")
local preset = assert(io.open(presets .. "/zembra-e2e.preset", "wb"))
preset:write('<?xml version="1.0" encoding="UTF-8"?>\n'
	.. '<ExportPreset id="5e3d1f2a-7a43-4f5b-9d0e-2c61f4d3a8b7" name="Zembra e2e">\n'
	.. '  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>\n'
	.. '  <ExportFilename><Folder relative="0" path=""/>'
	.. '<Field name="label" enabled="1"/><Field name="session" enabled="0"/>'
	.. '<Field name="snapshot" enabled="0"/><Field name="timespan" enabled="0"/>'
	.. '<Field name="revision" enabled="0"/><Field name="time" enabled="0" value="T_None"/>'
	.. '<Field name="date" enabled="0" value="D_None"/></ExportFilename>\n'
	.. '</ExportPreset>\n')
preset:close()
local export = Session:simple_export()
check(export:set_preset("5e3d1f2a-7a43-4f5b-9d0e-2c61f4d3a8b7"), "export preset")
export:set_folder(job.outdir)
export:set_range(job.from, job.to)
check(export:run_export(), "export")
print("exported")
io.stdout:flush()
close_session()
-- Leave without tearing the interpreter down: it still holds the first session's plug-in,
-- whose side-chain input, destroyed after the engine, crashes Ardour. (Released before the
-- reload instead, the reloaded side-chain input stays silent.)
os.exit(0, false)
