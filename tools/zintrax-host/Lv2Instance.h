// An LV2 plug-in behind the instance seam, hosted as the validator hosts it (hosting/Lv2Effect.h):
// the bundle or URI the user named, its audio and control ports, its presets as programs, and
// its X11 UI (loaded from the UI's binary and embedded in this tool's window, pumped through its
// idle interface).
#pragma once

#include "Instance.h"

#include <memory>

namespace zhost {

std::unique_ptr<Instance> LoadLv2Instance(const std::string& location);

} // namespace zhost
