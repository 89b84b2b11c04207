// A VST 2.x plug-in's editor open in a window of the validator's own, as a host embeds it.
#pragma once

#include "checks/EditorSession.h"
#include "hosting/HostWindow.h"
#include "hosting/Vst2Effect.h"

#include <memory>

namespace zhost::validate {

class EditorHost final : public EditorSession {
public:
  // Opens the editor in a new, shown window; effEditOpen's value is the window's Display* when
  // passDisplay, else 0. Throws HostError when the plug-in does not open it.
  EditorHost(const Vst2Effect& plugin, bool passDisplay);
  // Closes the editor (unless Close came first), then destroys the window.
  ~EditorHost() override;
  EditorHost(const EditorHost&) = delete;
  EditorHost& operator=(const EditorHost&) = delete;

  // One idle round as a host makes it: the window's events, then effEditIdle. Answers the
  // seconds effEditIdle held the thread (HeldTime).
  double Idle() override;
  void Close() override;
  // Destroys the host's window under the open editor, as a host that tears down its window
  // before telling the plug-in.
  void DestroyParent() override;
  // setParameter from another thread, as a host's automation does.
  void Automate(Context& context, int count, int32_t& next) override;

  // The seconds effEditOpen held the thread, and effEditClose once closed.
  double OpenSeconds() const override { return FOpenSeconds; }
  double CloseSeconds() const override { return FCloseSeconds; }
  unsigned long ParentWindow() const override {
    return reinterpret_cast<uintptr_t>(FWindow->Handle());
  }

  // The size effEditGetRect answered after opening.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  const Vst2Effect& FPlugin;
  std::unique_ptr<HostWindow> FWindow;
  bool FOpen = false;
  bool FParentGone = false;
  int FWidth = 0;
  int FHeight = 0;
  double FOpenSeconds = 0.0;
  double FCloseSeconds = 0.0;
};

} // namespace zhost::validate
