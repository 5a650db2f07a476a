-- SPDX-License-Identifier: GPL-3.0-or-later
-- Builds an Ardour session around Zembra, then exports it, headless (ardour7-lua, Dummy
-- backend), one process each, so that the export runs in a process that has known no other
-- session: ardour7-lua ardour_session.lua JOB.lua build|export. JOB.lua returns {dir, name,
-- buffer, format ("LV2"/"VST3"), track (the channels of A's track, each {file, channel}), feeder
-- ({file, channel} of B's own track, or nil), routing, params (name -> host value), at, frames,
-- from, to, outdir}, positions in samples (ArdourSession.cpp writes it). Routing "track": Zembra
-- takes A and B from its own track; "send": B's track is sent to Zembra's side-chain input;
-- "direct": B's track's output is connected to it.
-- The build prints "lag N" (the latency Ardour compensates); each stage says when it is done
-- ("built", "exported"), so that a death in Ardour's exit after it can be told apart.
local job = dofile(arg[1])

-- Leaves with the engine stopped, so that its process thread cannot run into what the exit
-- frees, and without closing the session or tearing the interpreter down: destroying a session
-- after an export corrupts Ardour's heap now and then. What the run made is on disk by then.
local function leave(status)
	io.stdout:flush()
	AudioEngine:stop(false)
	os.exit(status, false)
end

local function check(ok, what)
	if not ok then
		print("failed: " .. what)
		leave(1)
	end
end

-- The session's tracks, Zembra on A's, its settings and its side-chain; then the material as
-- the session's own sources, since the session tool cannot import files: the files are copied
-- into its audio folder and each track's playlist gets one region of them, without fades, in
-- the saved session.
local function build()
	check(create_session(job.dir, job.name, 48000), "create session")
	-- Ardour connects new tracks from a thread of its own, which on a busy machine may run after
	-- the session is saved (A's track then never reaches the master bus), or after B's track was
	-- taken off it: the tracks are connected here instead.
	local config = ARDOUR.config()
	config:set_input_auto_connect(ARDOUR.AutoConnectOption.ManualConnect)
	config:set_output_auto_connect(ARDOUR.AutoConnectOption.ManualConnect)
	local order = ARDOUR.PresentationInfo.max_order
	local normal = ARDOUR.TrackMode.Normal
	local function track(inputs, outputs, name)
		local t = Session:new_audio_track(inputs, outputs, nil, 1, name, order, normal, true, false):front()
		check(t and not t:isnil(), "track " .. name)
		return t
	end
	local host = track(#job.track, 2, "A")
	local master = Session:master_out():input()
	for port = 0, 1 do
		check(host:output():audio(port):connect(master:audio(port):name()) == 0, "A to the master bus")
	end
	-- B's track is mono to the end, so it reaches the plug-in at unity gain (no panner).
	local feeder = job.feeder and track(1, 1, "B") or nil

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

	if feeder then
		check(host:add_sidechain(proc), "side-chain input")
		local sidechain = insert:sidechain_input()
		check(not sidechain:isnil(), "side-chain input ports")
		-- B stays off the master bus: only the plug-in hears it.
		feeder:output():disconnect_all(nil)
		local from = feeder:output()
		if job.routing == "send" then
			local send = ARDOUR.LuaAPI.new_send(Session, feeder, feeder:main_outs())
			check(not send:isnil(), "send")
			from = send:to_send():output()
			from:disconnect_all(nil)
		end
		-- A mono B reaches every side-chain port, as Ardour feeds a mono track to a stereo input.
		for port = 0, sidechain:n_ports():n_audio() - 1 do
			from:audio(0):connect(sidechain:audio(port):name())
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

	local audio = job.dir .. "/interchange/" .. job.name .. "/audiofiles/"
	local sources, sourceIds, copied, nextId = "", {}, {}, 900001
	local function source(channel)
		local file, index = channel[1], channel[2]
		local name = file:match("[^/]+$")
		local key = name .. "#" .. index
		if not sourceIds[key] then
			if not copied[name] then
				local input = assert(io.open(file, "rb"))
				local output = assert(io.open(audio .. name, "wb"))
				output:write(input:read("a"))
				input:close()
				output:close()
				copied[name] = true
			end
			sourceIds[key], nextId = nextId, nextId + 1
			sources = sources .. '<Source name="' .. name .. '" type="audio" flags="" id="'
				.. sourceIds[key] .. '" channel="' .. index .. '" origin="" gain="1"/>\n'
		end
		return sourceIds[key]
	end
	local hostSources = {}
	for _, channel in ipairs(job.track) do
		table.insert(hostSources, source(channel))
	end
	local feederSources = feeder and { source(job.feeder) } or nil

	local function region(id, name, sourceList, wholeFile, position)
		local text = '<Region name="' .. name .. '" muted="0" opaque="1" locked="0" video-locked="0"'
			.. ' automatic="0" whole-file="' .. (wholeFile and 1 or 0) .. '" import="0" external="0"'
			.. ' sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" position-locked="0"'
			.. ' valid-transients="0" start="0" length="' .. job.frames .. '"'
			.. ' position="' .. (wholeFile and 0 or position) .. '" sync-position="0"'
			.. ' ancestral-start="0" ancestral-length="0" stretch="1" shift="1" layering-index="0"'
			.. ' envelope-active="0" default-fade-in="0" default-fade-out="0" fade-in-active="0"'
			.. ' fade-out-active="0" scale-amplitude="1" id="' .. id .. '" type="audio"'
			.. ' first-edit="nothing" channels="' .. #sourceList .. '"'
		for i, source in ipairs(sourceList) do
			text = text .. ' source-' .. (i - 1) .. '="' .. source .. '" master-source-' .. (i - 1)
				.. '="' .. source .. '"'
		end
		return text .. '/>\n'
	end
	local function fill(text, playlist, body)
		local pattern = '(<Playlist [^>]-name="' .. playlist .. '" type="audio"[^>]-)/>'
		local filled, n = text:gsub(pattern, '%1>' .. body .. '</Playlist>', 1)
		check(n == 1, "playlist " .. playlist)
		return filled
	end
	local regions = region(900101, "A", hostSources, true)
	if feeder then
		regions = regions .. region(900102, "B", feederSources, true)
	end
	local file = job.dir .. "/" .. job.name .. ".ardour"
	local xml = assert(io.open(file, "rb")):read("a")
	xml = xml:gsub("<Sources/>", "<Sources>\n" .. sources .. "</Sources>", 1)
	xml = xml:gsub("<Regions/>", "<Regions>\n" .. regions .. "</Regions>", 1)
	xml = fill(xml, "A", region(900201, "A.1", hostSources, false, job.at))
	if feeder then
		xml = fill(xml, "B", region(900202, "B.1", feederSources, false, job.at))
	end
	local out = assert(io.open(file, "wb"))
	out:write(xml)
	out:close()
end

-- The saved session, exported through a preset of our own: 32-bit float, no normalising, no
-- dither, written where the job says.
local function export()
	check(load_session(job.dir, job.name), "load session")
	for _, name in ipairs({ "A", "B" }) do
		local t = Session:route_by_name(name)
		if not t:isnil() then
			check(t:to_track():playlist():n_regions() == 1, "region on " .. name)
		end
	end
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
end

check(AudioEngine:set_backend("None (Dummy)", "", ""), "Dummy backend")
AudioEngine:set_sample_rate(48000)
AudioEngine:set_buffer_size(job.buffer)
check(AudioEngine:start(false) == 0, "engine start")
if arg[2] == "build" then
	build()
	print("built")
else
	export()
	print("exported")
end
leave(0)
