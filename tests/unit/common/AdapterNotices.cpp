// Notices under concurrency: while one thread sets parameters through the adapter and another
// processes blocks with timed changes, the user drags the editor's puck on the editor's thread.
// Exactly the editor's changes come back, each once and in order, and the gestures pair up;
// nothing set through the adapter is ever echoed, whatever thread set it.
#include "formats/common/ModuleAdapter.h"
#include "formats/common/TimedChanges.h"

#include "effect/ZintraxParameters.h"
#include "platform/EditorWindowHeadless.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

// One change of Distance at each of a few offsets of every block.
class TDistanceSweep final : public TTimedChanges {
public:
  TDistanceSweep(TModuleAdapter& module, int32_t round) : FModule(module), FRound(round) {}
  int32_t NextOffset() override { return FNext < 4 ? FNext * 64 : kNone; }
  bool ApplyUntil(int32_t at) override {
    bool any = false;
    for (; FNext < 4 && FNext * 64 <= at; ++FNext, any = true)
      FModule.SetParameter(zpDistance, 100.0f + float((FRound * 4 + FNext) % 600));
    return any;
  }

private:
  TModuleAdapter& FModule;
  int32_t FRound;
  int32_t FNext = 0;
};

} // namespace

TEST(AdapterNotices, ComeOnceForEachChangeOfTheEditorWhateverOtherThreadsSet) {
  setenv("ZINTRAX_SETTINGS_FILE",
         (std::filesystem::temp_directory_path() / "zintrax-notices-missing.conf").c_str(), 1);
  const TEditorWindowFactory previous = SetEditorWindowFactory(HeadlessEditorWindowFactory());
  TModuleAdapter adapter;
  std::vector<std::pair<int32_t, float>> notices;
  int begun = 0, ended = 0;
  const std::thread::id editorThread = std::this_thread::get_id();
  std::atomic<int> strayNotices{0};
  adapter.Notices.ParameterChanged = [&](int32_t index, float value) {
    if (std::this_thread::get_id() != editorThread)
      ++strayNotices;
    else
      notices.emplace_back(index, value);
  };
  adapter.Notices.EditBegun = [&](int32_t) { ++begun; };
  adapter.Notices.EditEnded = [&](int32_t) { ++ended; };
  adapter.Open(48000.0f, 256);
  // A value no point of the pad gives, so that each point taken is a change.
  adapter.SetParameter(zpXAxis, 0.123456f);
  adapter.SetParameter(zpYAxis, 0.654321f);
  int parent = 0;
  ASSERT_TRUE(adapter.OpenEditor(&parent));
  auto& window = *static_cast<THeadlessEditorWindow*>(adapter.EditorWindow());

  std::atomic<bool> stop{false};
  std::thread host([&] {
    for (int k = 0; !stop; ++k)
      adapter.SetParameter(zpFeeding, 1.0f + float(k % 400) * 0.01f);
  });
  std::thread audio([&] {
    std::vector<float> left(256, 0.1f), right(256, -0.1f);
    float* buffers[2] = {left.data(), right.data()};
    for (int32_t round = 0; !stop; ++round) {
      TDistanceSweep sweep(adapter, round);
      ProcessWithChanges(adapter, buffers, buffers, 256, sweep);
    }
  });

  // Drags down the diagonal of the pad (at 152, 77), each point further than the one before, so
  // that every change the module takes moves both values; the events are spread out, so that a
  // thread preempted while the module takes its change cannot shut the editor out of all of
  // them. After each event the values show whether the module took the editor's change.
  std::vector<std::pair<int32_t, float>> taken;
  const auto deliver = [&](TWindowMouseKind kind, int at, uint32_t shift) {
    const float before[2] = {adapter.Parameter(zpXAxis), adapter.Parameter(zpYAxis)};
    window.Post({kind, TMouseButton::Left, shift, 153 + at, 78 + at});
    adapter.IdleEditor();
    for (int32_t axis : {zpXAxis, zpYAxis})
      if (adapter.Parameter(axis) != before[axis - zpXAxis])
        taken.emplace_back(axis, adapter.Parameter(axis));
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  };
  int drags = 0;
  for (int first = 0; first + 20 <= 136; first += 20, ++drags) {
    deliver(TWindowMouseKind::Down, first, sfLeft);
    for (int at = first + 1; at < first + 20; ++at)
      deliver(TWindowMouseKind::Move, at, sfLeft);
    deliver(TWindowMouseKind::Up, first + 19, 0);
  }
  stop = true;
  host.join();
  audio.join();
  adapter.CloseEditor();
  SetEditorWindowFactory(previous);
  unsetenv("ZINTRAX_SETTINGS_FILE");

  EXPECT_EQ(strayNotices, 0);
  EXPECT_GE(taken.size(), 40u);
  EXPECT_EQ(notices, taken);
  EXPECT_EQ(begun, 2 * drags);
  EXPECT_EQ(ended, 2 * drags);
}
