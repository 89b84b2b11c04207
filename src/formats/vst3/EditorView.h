// The effect's editor as a VST3 view: the module's editor window made a child of the host's
// window (an X11 window on Linux, an HWND on Windows), 298 x 223 times the display scale the
// host gives (content scale), and not resizable by the user. A new scale while attached resizes
// the editor and asks the frame for the new size.
//
// On Linux the view has no thread: the host's run loop, reached through the frame (or else the
// component handler), calls it back from a timer and whenever the editor's connection to the X
// server has input. A host that offers no run loop gets a refusal, explained on standard error.
// On Windows the host's message loop delivers the window's messages and an idle timer.
#pragma once

#include "formats/vst3/Vst3Gui.h"
#include "formats/vst3/Vst3Object.h"

#include <memory>

class TEffect;
class TViewPump;

class TEditorView final
    : public vst3::TObject<vst3::IPlugView, vst3::IPlugViewContentScaleSupport> {
public:
  // Holds a reference to effect: the view never outlives the module it shows.
  explicit TEditorView(TEffect* effect);

  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::tresult VST3_CALL isPlatformTypeSupported(vst3::FIDString type) override;
  vst3::tresult VST3_CALL attached(void* parent, vst3::FIDString type) override;
  vst3::tresult VST3_CALL removed() override;
  vst3::tresult VST3_CALL onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult VST3_CALL onKeyDown(vst3::char16, vst3::int16, vst3::int16) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL onKeyUp(vst3::char16, vst3::int16, vst3::int16) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL getSize(vst3::ViewRect* size) override;
  vst3::tresult VST3_CALL onSize(vst3::ViewRect* newSize) override;
  vst3::tresult VST3_CALL onFocus(vst3::TBool) override { return vst3::kResultOk; }
  vst3::tresult VST3_CALL setFrame(vst3::IPlugFrame* frame) override;
  vst3::tresult VST3_CALL canResize() override { return vst3::kResultFalse; }
  vst3::tresult VST3_CALL checkSizeConstraint(vst3::ViewRect* rect) override;
  vst3::tresult VST3_CALL setContentScaleFactor(float factor) override;

  // The effect is going away while the view is attached: closes the editor as removed() does.
  void Detach();
  // One turn of the editor: input, timers and repaints.
  void Idle();

private:
  ~TEditorView() override;
  vst3::ViewRect Size() const;

  vst3::TRef<TEffect> FEffect;
  vst3::TRef<vst3::IPlugFrame> FFrame;
  std::unique_ptr<TViewPump> FPump; // while attached
  bool FAttached = false;
};
