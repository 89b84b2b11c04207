#include "checks/Isolation.h"

namespace zhost::validate {

namespace {

constexpr int kBlocks = 48;
constexpr int kSecondMade = 8, kSecondClosed = 24;

// What first plays of a noise drawn from seed, block after block; between(b) runs after block b.
std::vector<float> Play(IsolatedInstance& first, uint32_t seed,
                        const std::function<void(int)>& between = {}) {
  AudioBlock block(first.Inputs(), first.Outputs(), kIsolationFrames);
  std::mt19937 random(seed);
  std::vector<float> heard;
  for (int b = 0; b < kBlocks; ++b) {
    block.Noise(random, 0.5f, kIsolationFrames);
    block.Ready(kIsolationFrames, true);
    first.Process(block, kIsolationFrames);
    for (int32_t c = 0; c < block.NumOutputs(); ++c)
      heard.insert(heard.end(), block.Output(c), block.Output(c) + kIsolationFrames);
    if (between)
      between(b);
  }
  return heard;
}

} // namespace

void CheckIsolation(Context& context,
                    const std::function<std::unique_ptr<IsolatedInstance>()>& make) {
  context.Step("an instance alone, twice");
  auto alone = make();
  const std::vector<double> values = alone->Values();
  const std::vector<float> heard = Play(*alone, context.Seed());
  alone.reset();
  const bool repeats = Play(*make(), context.Seed()) == heard;

  auto first = make();
  std::unique_ptr<IsolatedInstance> second;
  bool moved = false;
  const std::vector<float> together = Play(*first, context.Seed(), [&](int b) {
    if (b == kSecondMade) {
      context.Step("a second instance made beside the first");
      second = make();
    }
    if (second) {
      context.Step("the second instance's values, program and state changed, block %d", b);
      second->Change(context);
      AudioBlock block(second->Inputs(), second->Outputs(), kIsolationFrames);
      block.Noise(context.Random(), 0.5f, kIsolationFrames);
      block.Ready(kIsolationFrames, true);
      second->Process(block, kIsolationFrames);
    }
    if (b == kSecondClosed) {
      context.Step("the second instance closed");
      second.reset();
    }
    if (!moved && first->Values() != values) {
      moved = true;
      context.Fail(
          "the first instance's parameter values changed when a second instance's " +
          std::string(b > kSecondClosed ? "were changed and it was closed" : "were changed"));
    }
  });
  if (!repeats)
    context.Note("output", "the plug-in plays one input differently each time, even alone, so "
                           "only its parameter values were compared");
  else if (together != heard)
    context.Fail("the first instance's output changed while a second instance was changed, "
                 "processed and closed beside it");
}

} // namespace zhost::validate
