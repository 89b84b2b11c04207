// The effect module built as the exported entry builds it, driven through its record on one
// thread as a host's audio thread drives it: processing and automation allocate nothing.
#include "effect/Zintrax.h"

#include "CountingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <vector>

namespace {

VstIntPtr QuietHost(AEffect*, int32_t opcode, int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}
} // namespace

TEST(ZintraxModule, ProcessingAndAutomationOnTheAudioThreadAllocateNothing) {
  const std::filesystem::path store =
      std::filesystem::temp_directory_path() / "zintrax-module-test-missing.conf";
  setenv("ZINTRAX_SETTINGS_FILE", store.c_str(), 1);
  AEffect* effect = CreateVSTModule<TZintraxModule>(QuietHost);
  ASSERT_NE(nullptr, effect);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::vector<float> left(4096, 0.25f), right(4096, -0.25f), outL(4096), outR(4096);
  float* in[2] = {left.data(), right.data()};
  float* out[2] = {outL.data(), outR.data()};
  effect->processReplacing(effect, in, out, 64); // the first calls may set up what they keep
  effect->process(effect, in, out, 64);

  const long before = gAllocations.load();
  for (int block = 0; block < 64; ++block) {
    effect->setParameter(effect, block % 4, float(block % 10) / 10.0f);
    effect->processReplacing(effect, in, out, 64);
    effect->processReplacing(effect, in, out, 1 + block * 7 % 300);
    effect->process(effect, in, out, 32);
  }
  EXPECT_EQ(before, gAllocations.load());
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  unsetenv("ZINTRAX_SETTINGS_FILE");
}
