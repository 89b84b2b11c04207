// The CLAP plug-in under test as the validator hosts it: the file loaded as a host loads it with
// one instance of its first plug-in, the parameters a host may change and the events a block
// brings, and the plug-in's editor embedded in a window of the validator's own.
#pragma once

#include "checks/EditorSession.h"
#include "core/Validation.h"
#include "hosting/ClapEffect.h"
#include "hosting/ClapLibrary.h"
#include "hosting/HostWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace zhost::validate {

struct ClapSubject {
  // Throws HostError when the file does not load or its factory offers no plug-in.
  explicit ClapSubject(const std::string& path);
  // A further instance of the same plug-in; without runLoop on a host that offers neither timers
  // nor a watch of descriptors.
  std::unique_ptr<ClapEffect> Another(bool runLoop = true) const;

  ClapLibrary library;
  std::unique_ptr<ClapEffect> plugin;
};

// The parameters a host may change: every one that is not read-only.
std::vector<clap_param_info> Writable(const ClapEffect& plugin);

// A value of the parameter drawn from its range (whole numbers for a stepped one).
double RandomValue(Context& context, const clap_param_info& info);

// The events of a block of frames: a few values of the parameters at random offsets, in time
// order, and now and then a modulation of one that takes it.
void RandomEvents(Context& context, const std::vector<clap_param_info>& params, uint32_t frames,
                  ClapEventList& events);

// The plug-in's editor in a new shown window of the size it asks for, as a host embeds one. An X
// error only counts (XErrorsSeen).
class ClapGuiHost final : public EditorSession {
public:
  // Throws HostError when the plug-in's editor answers no size; Embedded() tells whether
  // create and set_parent took the window.
  explicit ClapGuiHost(ClapEffect& plugin);
  ~ClapGuiHost() override { Close(); }
  ClapGuiHost(const ClapGuiHost&) = delete;
  ClapGuiHost& operator=(const ClapGuiHost&) = delete;

  bool Embedded() const { return FEmbedded; }
  // The windows the editor made inside the host's.
  unsigned Children() const;
  // The window's events, then the plug-in's due timers and ready descriptors, waiting up to
  // waitMs for them; answers the seconds the plug-in's callbacks held the thread.
  double Turn(int waitMs);
  double Idle() override { return Turn(0); }
  void Close() override;
  void DestroyParent() override;
  void Automate(Context& context, int count, int32_t& next) override;
  double OpenSeconds() const override { return FOpenSeconds; }
  double CloseSeconds() const override { return FCloseSeconds; }
  unsigned long ParentWindow() const override {
    return reinterpret_cast<uintptr_t>(FWindow->Handle());
  }

private:
  ClapEffect& FPlugin;
  std::unique_ptr<HostWindow> FWindow;
  bool FEmbedded = false;
  bool FParentGone = false;
  double FOpenSeconds = 0.0, FCloseSeconds = 0.0;
};

// Skips the test when the plug-in has no editor for an X11 window.
void RequireGui(Context& context, const ClapEffect& plugin);

} // namespace zhost::validate
