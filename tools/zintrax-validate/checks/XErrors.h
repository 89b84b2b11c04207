// An X error handler that only counts, so that no X error of a plug-in's editor ends the test
// process.
#pragma once

namespace zhost::validate {

// Installs the counting handler (once per process) and answers the errors seen since.
long XErrorsSeen();

} // namespace zhost::validate
