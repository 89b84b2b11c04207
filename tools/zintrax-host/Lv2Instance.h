// An LV2 plug-in behind the instance seam, hosted through lilv: the bundle or URI the user named,
// its audio and control ports, its presets as programs, and its X11 UI (loaded from the UI's
// binary and embedded in this tool's window, pumped through its idle interface).
#pragma once

#include "Instance.h"

#include <memory>

namespace zhost {

// Whether location names an LV2 plug-in: a bundle folder (*.lv2) or a URI.
bool IsLv2Location(const std::string& location);

std::unique_ptr<Instance> LoadLv2Instance(const std::string& location);

} // namespace zhost
