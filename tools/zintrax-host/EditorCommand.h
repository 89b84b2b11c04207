// The editor commands: a picture of a plug-in's editor (snapshot), and the editor in a window
// of its own for a person to play with (edit).
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace zhost {

// Writes the editor's picture to options.out; throws HostError or UsageError.
void RunSnapshot(const SnapshotOptions& options, std::ostream& log);

// Runs until the window is closed or the process is interrupted; parameter changes are
// printed to out as they arrive, and the closing --param arguments too.
void RunEdit(const EditOptions& options, std::ostream& out);

} // namespace zhost
