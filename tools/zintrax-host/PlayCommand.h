// zintrax-host play: a plug-in live as a JACK client, with its editor, a status line and the
// last settings kept between runs.
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace zhost {

// Plays until Ctrl-C, SIGTERM or the editor's window is closed, then fades out and keeps the
// settings. The status line and the editor's changes go to out, notices to err. Throws
// HostError (no server, the plug-in, a settings file named with --state, the server going away
// after the settings were kept) and UsageError.
void RunPlay(const PlayOptions& options, std::ostream& out, std::ostream& err);

} // namespace zhost
