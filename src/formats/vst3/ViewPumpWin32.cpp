#include "formats/vst3/EditorView.h"
#include "formats/vst3/ViewPump.h"
#include "platform/IdleTimer.h"

namespace {

class TIdlePump final : public TViewPump {
public:
  explicit TIdlePump(TEditorView& view) : FTimer(kViewIdleMilliseconds, [&view] { view.Idle(); }) {}
  bool Running() const { return FTimer.Running(); }

private:
  TIdleTimer FTimer;
};

} // namespace

std::unique_ptr<TViewPump> StartViewPump(TEditorView& view, vst3::FUnknown*, vst3::FUnknown*, int,
                                         std::string& whyNot) {
  auto pump = std::make_unique<TIdlePump>(view);
  if (!pump->Running()) {
    whyNot = "Windows has no timer left for the editor";
    return nullptr;
  }
  return pump;
}
