#include "platform/EditorWindow.h"

#include "platform/EditorWindowNative.h"

#include <chrono>

namespace {

TEditorWindowFactory& InstalledFactory() {
  static TEditorWindowFactory factory;
  return factory;
}

} // namespace

std::unique_ptr<TEditorWindow> CreateEditorWindow(const TEditorWindowParams& params,
                                                  TEditorWindowClient& client) {
  if (InstalledFactory())
    return InstalledFactory()(params, client);
  return CreateNativeEditorWindow(params, client);
}

TEditorWindowFactory SetEditorWindowFactory(TEditorWindowFactory factory) {
  TEditorWindowFactory previous = std::move(InstalledFactory());
  InstalledFactory() = std::move(factory);
  return previous;
}

uint64_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
