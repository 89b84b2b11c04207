// The settings play keeps between runs: a plug-in's program and its parameters' values as the
// host shows them, in a small text file of the user's, one for each plug-in (its name and
// format), beside the settings Zintrax keeps itself.
#pragma once

#include "Instance.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zhost {

struct PlayState {
  std::string plugin; // the identity of the plug-in the values belong to
  int32_t program = 0;
  std::vector<std::pair<std::string, std::string>> params; // name, display text
};

// "Zintrax (VST 2.x)": the plug-in's name and format.
std::string Identity(const Instance& plugin);
// $XDG_CONFIG_HOME (else ~/.config)/Merrowlake/play-<identity>.state, the identity's letters and
// digits kept and every run of other characters made one '-' ("play-Zintrax-VST-2-x.state").
std::filesystem::path DefaultStatePath(const Instance& plugin);

PlayState CaptureState(const Instance& plugin);
// Selects the program, then sets each parameter; throws HostError naming a parameter the
// plug-in does not have or a value it refuses, before anything is changed where it can.
void ApplyState(Instance& plugin, const PlayState& state);

// The state in the file, or nothing when there is no file; throws HostError when the file is
// damaged or belongs to another plug-in than identity, and leaves it as it is.
std::optional<PlayState> ReadState(const std::filesystem::path& path, const std::string& identity);
// Writes through a file beside it that replaces the old one at once; throws HostError.
void WriteState(const std::filesystem::path& path, const PlayState& state);

} // namespace zhost
