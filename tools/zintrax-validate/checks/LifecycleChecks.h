// What the lifecycle tests judge for every plug-in format: after many instances have lived, the
// heap, the open file descriptors and the threads are back where they were; and every thread an
// instance started is gone once it is closed, and what the library started once it is unloaded.
#pragma once

#include "core/Validation.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zhost::validate {

// Runs one instance's whole life.
using Life = std::function<void(Context&)>;

// How many instances the lifecycle tests make at the context's strictness.
int LifeCount(const Context& context);

// Runs count lives, the kinds in turn, after a few of each that come first so that whatever the
// plug-in sets up once per process is in the baseline; the caller keeps the library loaded
// throughout. closeCall names the call that ends an instance ("effClose").
void CheckLives(Context& context, const std::vector<std::pair<const char*, Life>>& lives, int count,
                const char* closeCall);

// Runs one instance's life (the editor's too with --gui), calling seen while the instance and
// its editor run, so that their threads are counted.
using ThreadedLife = std::function<void(Context&, int life, const std::function<void()>& seen)>;

// Loads the plug-in's library as a host does before its first instance and answers what keeps it
// loaded: releasing that unloads it. Null when the library does not load.
using LibraryHold = std::function<std::shared_ptr<void>()>;

// A hold that is the library at libraryPath opened with dlopen.
LibraryHold Dlopened(const std::string& libraryPath);

// Holds the library loaded while two lives run, each of whose threads must be gone 2 s after it
// ended, then unloads it: what the library started when loaded must then be gone.
void CheckThreadsAfterClose(Context& context, const LibraryHold& hold, const ThreadedLife& life,
                            const char* closeCall);

} // namespace zhost::validate
