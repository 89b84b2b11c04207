#include "formats/vst3/EditorView.h"
#include "formats/vst3/ViewPump.h"
#include "formats/vst3/Vst3Object.h"

using namespace vst3;

namespace {

// The handlers the run loop holds counted references to; the pump unhooks them from the view
// before it lets them go, so a run loop that keeps one longer calls nothing.
class TTimerHandler final : public TObject<ITimerHandler> {
public:
  explicit TTimerHandler(TEditorView* view) : View(view) {}
  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<ITimerHandler*>(this)},
                   {&ITimerHandler::iid, static_cast<ITimerHandler*>(this)}});
  }
  void VST3_CALL onTimer() override {
    if (View)
      View->Idle();
  }
  TEditorView* View;
};

class TEventHandler final : public TObject<IEventHandler> {
public:
  explicit TEventHandler(TEditorView* view) : View(view) {}
  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<IEventHandler*>(this)},
                   {&IEventHandler::iid, static_cast<IEventHandler*>(this)}});
  }
  void VST3_CALL onFDIsSet(int) override {
    if (View)
      View->Idle();
  }
  TEditorView* View;
};

class TRunLoopPump final : public TViewPump {
public:
  TRunLoopPump(TRef<IRunLoop> loop, TEditorView& view) : FLoop(std::move(loop)) {
    FTimer = TRef<TTimerHandler>::Adopt(new TTimerHandler(&view));
    FEvents = TRef<TEventHandler>::Adopt(new TEventHandler(&view));
  }
  ~TRunLoopPump() override {
    FTimer->View = nullptr;
    FEvents->View = nullptr;
    if (FTimerOn)
      FLoop->unregisterTimer(FTimer.get());
    if (FEventsOn)
      FLoop->unregisterEventHandler(FEvents.get());
  }
  bool Start(int descriptor) {
    FTimerOn = FLoop->registerTimer(FTimer.get(), kViewIdleMilliseconds) == kResultOk;
    if (descriptor >= 0)
      FEventsOn = FLoop->registerEventHandler(FEvents.get(), descriptor) == kResultOk;
    return FTimerOn || FEventsOn;
  }

private:
  TRef<IRunLoop> FLoop;
  TRef<TTimerHandler> FTimer;
  TRef<TEventHandler> FEvents;
  bool FTimerOn = false;
  bool FEventsOn = false;
};

} // namespace

std::unique_ptr<TViewPump> StartViewPump(TEditorView& view, FUnknown* frame, FUnknown* handler,
                                         int descriptor, std::string& whyNot) {
  TRef<IRunLoop> loop = Query<IRunLoop>(frame);
  if (!loop)
    loop = Query<IRunLoop>(handler);
  if (!loop) {
    whyNot = "the host offers no run loop (IRunLoop) through its frame or component handler, "
             "and the editor runs no thread of its own";
    return nullptr;
  }
  auto pump = std::make_unique<TRunLoopPump>(std::move(loop), view);
  if (!pump->Start(descriptor)) {
    whyNot = "the host's run loop registered neither a timer nor the editor's connection";
    return nullptr;
  }
  return pump;
}
