// A block split at its timed changes gives the samples of the same changes made between blocks,
// whatever order the changes come in and wherever they fall.
#include "formats/common/TimedChanges.h"
#include "formats/common/ModuleAdapter.h"

#include "effect/ZintraxParameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

struct TChange {
  int32_t Offset;
  int32_t Index;
  float Value;
};

// Changes in the order given; offsets past the block take effect at its end.
class TListedChanges final : public TTimedChanges {
public:
  TListedChanges(TModuleAdapter& module, std::vector<TChange> changes, int32_t frames)
      : FModule(module), FChanges(std::move(changes)), FFrames(frames),
        FApplied(FChanges.size(), false) {}
  int32_t NextOffset() override {
    int32_t next = kNone;
    for (size_t i = 0; i < FChanges.size(); ++i)
      if (!FApplied[i])
        next = std::min(next, std::min(FChanges[i].Offset, FFrames));
    return next;
  }
  bool ApplyUntil(int32_t at) override {
    bool any = false;
    for (size_t i = 0; i < FChanges.size(); ++i)
      if (!FApplied[i] && std::min(FChanges[i].Offset, FFrames) <= at) {
        FModule.SetParameter(FChanges[i].Index, FChanges[i].Value);
        FApplied[i] = any = true;
      }
    return any;
  }

private:
  TModuleAdapter& FModule;
  std::vector<TChange> FChanges;
  int32_t FFrames;
  std::vector<bool> FApplied;
};

constexpr int32_t kFrames = 1800;

class TimedChanges : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE",
           (std::filesystem::temp_directory_path() / "zintrax-timed-missing.conf").c_str(), 1);
    setenv("ZINTRAX_SEED", "77", 1);
    for (int32_t n = 0; n < kFrames; ++n)
      for (int c = 0; c < 2; ++c)
        Input[c].push_back(n % 300 < 20 ? 0.5f * std::sin(0.07f * n * (c + 1)) : 0.0f);
  }
  void TearDown() override {
    unsetenv("ZINTRAX_SEED");
    unsetenv("ZINTRAX_SETTINGS_FILE");
  }

  // The module, opened, then one block after another; changes come before the block named.
  std::vector<float> Render(const std::vector<std::pair<int32_t, std::vector<TChange>>>& blocks) {
    TModuleAdapter module;
    module.Open(44100.0f, 512);
    for (int32_t i = 0; i < kZintraxParameterCount; ++i)
      module.SetParameter(i, module.ProgramValue(1, i));
    std::vector<float> out[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
    int32_t done = 0;
    for (const auto& [frames, changes] : blocks) {
      const float* in[2] = {Input[0].data() + done, Input[1].data() + done};
      float* to[2] = {out[0].data() + done, out[1].data() + done};
      TListedChanges listed(module, changes, frames);
      ProcessWithChanges(module, in, to, frames, listed);
      done += frames;
    }
    EXPECT_EQ(done, kFrames);
    out[0].insert(out[0].end(), out[1].begin(), out[1].end());
    for (int32_t i = 0; i < kZintraxParameterCount; ++i)
      out[0].push_back(module.Parameter(i));
    return out[0];
  }

  std::vector<float> Input[2];
};

} // namespace

TEST_F(TimedChanges, GiveTheSamplesOfTheSameChangesBetweenBlocks) {
  const std::vector<float> between = Render({{300, {}},
                                             {700, {{0, zpDistance, 212.5f}}},
                                             {1, {{0, zpXAxis, 0.9f}, {0, zpYAxis, 0.1f}}},
                                             {799, {{0, zpFeeding, 4.0f}}},
                                             {0, {{0, zpDistance, 640.0f}}}});
  float peak = 0.0f;
  for (int32_t n = 0; n < 2 * kFrames; ++n)
    peak = std::max(peak, std::abs(between[n]));
  ASSERT_GT(peak, 0.01f);
  // The same changes inside one block, out of order and one past its end.
  EXPECT_EQ(between, Render({{kFrames,
                              {{1001, zpFeeding, 4.0f},
                               {kFrames + 50, zpDistance, 640.0f},
                               {300, zpDistance, 212.5f},
                               {1000, zpYAxis, 0.1f},
                               {1000, zpXAxis, 0.9f}}}}));
  // A block of no frames only carries its changes.
  EXPECT_EQ(between, Render({{300, {}},
                             {0, {{0, zpDistance, 212.5f}}},
                             {700, {}},
                             {1, {{0, zpXAxis, 0.9f}, {0, zpYAxis, 0.1f}}},
                             {799, {{0, zpFeeding, 4.0f}}},
                             {0, {{0, zpDistance, 640.0f}}}}));
}
