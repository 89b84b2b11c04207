// The VST3 plug-in under test as the validator hosts it: the bundle loaded as a host loads it with
// one instance of its first effect class, the parameters a host may change and the changes a block
// brings, and the plug-in's editor view attached to a window of the validator's own.
#pragma once

#include "checks/CallWalk.h"
#include "checks/EditorSession.h"
#include "core/Validation.h"
#include "hosting/HostWindow.h"
#include "hosting/Vst3Effect.h"
#include "hosting/Vst3HostObjects.h"
#include "hosting/Vst3Library.h"

#include <memory>
#include <string>
#include <vector>

namespace zhost::validate {

struct Vst3Subject {
  // Throws HostError when the bundle does not load or offers no audio effect.
  explicit Vst3Subject(const std::string& bundle, const Vst3Step& step = {});
  // A further instance of the same class.
  std::unique_ptr<Vst3Effect> Another(const Vst3Step& step = {}) const;

  Vst3Library library;
  std::unique_ptr<Vst3Effect> plugin;
};

// The ids of the parameters a host may change while processing: every one that is not read-only,
// the program change too unless withoutPrograms.
std::vector<vst3::ParamID> Writable(vst3::IEditController& controller,
                                    bool withoutPrograms = false);

// The changes of a block of frames: a few points of the parameters ids at random offsets, in
// ascending order per parameter.
void RandomChanges(Context& context, const std::vector<vst3::ParamID>& ids, vst3::int32 frames,
                   Vst3ParameterChanges& changes);

// The controller's editor view in a new shown window of the size the view asks for, with a frame
// that offers the validator's run loop (or none, as some hosts), as a host attaches one. An X
// error only counts (XErrorsSeen).
class Vst3ViewHost final : public EditorSession {
public:
  struct Options {
    bool runLoop = true;
    bool removedFirst = true; // the order of removed() and setFrame(nullptr) when closing
  };

  // Throws HostError when the controller makes no view or the view's size is none; Attached()
  // tells whether attached() took the window.
  explicit Vst3ViewHost(vst3::IEditController& controller, Options options);
  ~Vst3ViewHost() override { Detach(); }
  Vst3ViewHost(const Vst3ViewHost&) = delete;
  Vst3ViewHost& operator=(const Vst3ViewHost&) = delete;

  bool Attached() const { return FAttached; }
  vst3::IPlugView& View() const { return *FView; }
  Vst3Frame& Frame() const { return *FFrame; }
  HostWindow& Window() const { return *FWindow; }
  // The windows the view made inside the host's.
  unsigned Children() const;

  // The window's events, then the run loop's due timers and ready descriptors, waiting up to
  // waitMs for them; answers the seconds the plug-in's callbacks held the thread.
  double Turn(int waitMs);
  double Idle() override { return Turn(0); }
  // removed() (when attached) and setFrame(nullptr) in the order asked for, then the view
  // released; answers what removed() answered, kResultOk when it was not called.
  vst3::tresult Detach();
  void Close() override { Detach(); }
  void DestroyParent() override;
  // setParamNormalized on this thread, as a host tells the controller of its automation.
  void Automate(Context& context, int count, int32_t& next) override;
  double OpenSeconds() const override { return FOpenSeconds; }
  double CloseSeconds() const override { return FCloseSeconds; }
  unsigned long ParentWindow() const override {
    return reinterpret_cast<uintptr_t>(FWindow->Handle());
  }

private:
  vst3::IEditController& FController;
  Options FOptions;
  vst3::TRef<Vst3Frame> FFrame;
  vst3::TRef<vst3::IPlugView> FView;
  std::unique_ptr<HostWindow> FWindow;
  bool FAttached = false;
  bool FParentGone = false;
  double FOpenSeconds = 0.0, FCloseSeconds = 0.0;
};

// Skips the test when the controller makes no editor view.
void RequireView(Context& context, vst3::IEditController& controller);

void WalkEveryKindOfVst3Call(Context& context, const CheckedCall& checked);

} // namespace zhost::validate
