// zintrax-host render: audio through the plug-in, driven in the order a DAW drives it.
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace zhost {

// Renders as the options say; log receives one line per setting applied and a summary.
void RunRender(const RenderOptions& options, std::ostream& log);

} // namespace zhost
