// The audio thread's stack: audio calls made on a thread whose stack is 512 KiB, the default of
// secondary threads on some systems and more than some hosts give their audio threads.
#pragma once

#include "core/Validation.h"

#include <functional>

namespace zhost::validate {

// realtime.stack: work (the format's audio calls, with the plug-in made ready for them on the
// calling thread) run on such a thread; running out of its stack fails the test, and the depth
// it reached goes in a note.
void CheckSmallStack(Context& context, const std::function<void()>& work);

} // namespace zhost::validate
