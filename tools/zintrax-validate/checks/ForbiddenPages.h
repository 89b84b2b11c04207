// Memory a test forbids the plug-in: a read or a write of it ends the test with its own failure
// (what was touched, and the step the test was at) instead of as a crash. The fault is caught
// by a handler of SIGSEGV and SIGBUS on an alternate stack; any other fault stays a crash.
#pragma once

#include <cstddef>
#include <string>

namespace zhost::validate {

// From now on a touch of [begin, begin + bytes) fails the test with what, prefixed with
// "read " or "wrote " where the processor tells which (withAccess).
void ForbidPages(const void* begin, std::size_t bytes, const std::string& what, bool withAccess);
// Forgets every forbidden range that starts within [begin, begin + bytes).
void AllowPages(const void* begin, std::size_t bytes);
// Gives the calling thread a signal stack of its own, so that a fault that ran out of its stack
// is reported too (the handler needs a stack to run on).
void HandleFaultsOnThisThread();

std::size_t PageSize();

} // namespace zhost::validate
