#include "platform/EditorWindowNative.h"

std::unique_ptr<TEditorWindow> CreateNativeEditorWindow(const TEditorWindowParams&,
                                                        TEditorWindowClient&) {
  return nullptr;
}
