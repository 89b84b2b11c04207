#include "formats/vst3/EditorView.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/vst3/Effect.h"
#include "formats/vst3/Factory.h"
#include "formats/vst3/ViewPump.h"
#include "skin/DisplayScale.h"

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
  return Answer(
      iid, obj,
      {{&FUnknown::iid, static_cast<IPlugView*>(this)},
       {&IPlugView::iid, static_cast<IPlugView*>(this)},
       {&IPlugViewContentScaleSupport::iid, static_cast<IPlugViewContentScaleSupport*>(this)}});
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
    const ViewRect announced = Size();
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
    // The editor may have taken a scale of its own (the settings', the desktop's).
    if (ViewRect size = Size();
        FFrame && (size.right != announced.right || size.bottom != announced.bottom))
      FFrame->resizeView(this, &size);
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

// The open editor's size; before it opens, the design's size at the host's scale.
ViewRect TEditorView::Size() const {
  const TModuleAdapter* module = FEffect->Module();
  if (module && module->EditorOpen() && module->EditorWidth() > 0)
    return {0, 0, module->EditorWidth(), module->EditorHeight()};
  const TModuleDescription& description = PluginDescription();
  const double scale = module ? module->EditorScale() : 1.0;
  return {0, 0, ScaledCoordinate(description.EditorWidth, scale),
          ScaledCoordinate(description.EditorHeight, scale)};
}

tresult VST3_CALL TEditorView::setContentScaleFactor(float factor) {
  return Guarded(kInternalError, [&] {
    TModuleAdapter* module = FEffect->Module();
    if (!module || !(factor > 0))
      return kResultFalse;
    if (module->SetEditorScale(factor) && FAttached && FFrame) {
      ViewRect size = Size();
      FFrame->resizeView(this, &size);
    }
    return kResultTrue;
  });
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
