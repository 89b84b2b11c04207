// Ardour 7's headless Lua session tool as the tests that render through it use it: a session with
// one track behind a sine generator, the plug-in inserted behind it, one second exported.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace ardour {

inline constexpr const char* kArdourLua = "/usr/bin/ardour7-lua";

// Whether this build is instrumented by a sanitizer, whose plug-ins Ardour cannot load.
inline bool SanitizedBuild() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#endif
#endif
  return false;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs command in a shell with env (variable settings) before it, for at most 300 s, its output
// written to log; answers what std::system answers.
inline int RunLogged(const std::string& env, const std::string& command,
                     const std::filesystem::path& log) {
  const std::string line = env + "timeout 300 " + command + " > '" + log.string() + "' 2>&1";
  return std::system(line.c_str());
}

// The script: a 48 kHz session at `session` with a stereo-out track fed by a sine generator, then
// `insert` (Lua that may use `track`), then the first second exported as folder/name.wav.
inline std::string ExportScript(const std::string& session, const std::string& insert,
                                const std::string& name, const std::string& folder) {
  std::ostringstream lua;
  lua << "AudioEngine:set_backend('None (Dummy)', '', '')\n"
      << "AudioEngine:start(false)\n"
      << "assert(create_session('" << session << "', 'zintrax', 48000))\n"
      << "local track = Session:new_audio_track(1, 2, nil, 1, 'fx', "
      << "ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()\n"
      << "local gen = ARDOUR.LuaAPI.new_luaproc(Session, 'SinGen')\n"
      << "assert(not gen:isnil())\n"
      << "assert(track:add_processor_by_index(gen, 0, nil, true) == 0)\n"
      << insert << "local ex = Session:simple_export()\n"
      << "ex:set_name('" << name << "')\n"
      << "ex:set_folder('" << folder << "')\n"
      << "ex:set_range(0, 48000)\n"
      << "assert(ex:set_preset('75969a1c-3133-4694-864b-a1fa50e43348'))\n"
      << "assert(ex:check_outputs())\n"
      << "assert(ex:run_export())\n";
  return lua.str();
}

} // namespace ardour
