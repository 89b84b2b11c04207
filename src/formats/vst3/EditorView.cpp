#include "formats/vst3/EditorView.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/vst3/Effect.h"
#include "formats/vst3/Factory.h"
#include "formats/vst3/ViewPump.h"

#include <cstring>
#include <iostream>

using namespace vst3;

namespace {
#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif
} // namespace

TEditorView::TEditorView(TEffect* effect) : FEffect(TRef<TEffect>::Borrow(effect)) {}

TEditorView::~TEditorView() {
  Detach();
}

tresult VST3_CALL TEditorView::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IPlugView*>(this)},
                 {&IPlugView::iid, static_cast<IPlugView*>(this)}});
}

tresult VST3_CALL TEditorView::isPlatformTypeSupported(FIDString type) {
  return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult VST3_CALL TEditorView::attached(void* parent, FIDString type) {
  return Guarded(kInternalError, [&] {
    if (!parent || isPlatformTypeSupported(type) != kResultTrue)
      return kInvalidArgument;
    TModuleAdapter* module = FEffect->Module();
    if (FAttached || !module || !FEffect->ClaimView(this))
      return kResultFalse;
    if (module->EditorOpen() || !module->OpenEditor(parent)) {
      FEffect->ViewClosed(this);
      return kResultFalse;
    }
    std::string whyNot;
    FPump = StartViewPump(*this, FFrame.get(), FEffect->Handler(), module->EditorEventDescriptor(),
                          whyNot);
    if (!FPump) {
      module->CloseEditor();
      FEffect->ViewClosed(this);
      std::cerr << "Zintrax: the editor cannot be shown: " << whyNot << ".\n";
      return kResultFalse;
    }
    FAttached = true;
    return kResultOk;
  });
}

tresult VST3_CALL TEditorView::removed() {
  if (!FAttached)
    return kResultFalse;
  Detach();
  return kResultOk;
}

void TEditorView::Detach() {
  if (!FAttached)
    return;
  FAttached = false;
  FPump.reset(); // unregisters from the run loop before the connection closes
  if (TModuleAdapter* module = FEffect->Module())
    module->CloseEditor();
  FEffect->ViewClosed(this);
}

void TEditorView::Idle() {
  if (!FAttached)
    return;
  if (TModuleAdapter* module = FEffect->Module())
    module->IdleEditor();
}

ViewRect TEditorView::Size() const {
  const TModuleDescription& description = PluginDescription();
  return {0, 0, description.EditorWidth, description.EditorHeight};
}

tresult VST3_CALL TEditorView::getSize(ViewRect* size) {
  if (!size)
    return kInvalidArgument;
  *size = Size();
  return kResultOk;
}

tresult VST3_CALL TEditorView::onSize(ViewRect* newSize) {
  if (!newSize)
    return kInvalidArgument;
  const ViewRect size = Size();
  return newSize->right - newSize->left == size.right &&
                 newSize->bottom - newSize->top == size.bottom
             ? kResultOk
             : kResultFalse;
}

tresult VST3_CALL TEditorView::checkSizeConstraint(ViewRect* rect) {
  if (!rect)
    return kInvalidArgument;
  const ViewRect size = Size();
  rect->right = rect->left + size.right;
  rect->bottom = rect->top + size.bottom;
  return kResultOk;
}

tresult VST3_CALL TEditorView::setFrame(IPlugFrame* frame) {
  FFrame = TRef<IPlugFrame>::Borrow(frame);
  return kResultOk;
}
