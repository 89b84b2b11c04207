// The module adapter against the VST 2.x record of the same module: same seed, same input and
// same values give the same samples, however the frames are cut; notices reach the format
// except those of its own calls.
#include "formats/common/ModuleAdapter.h"

#include "effect/Zintrax.h"
#include "effect/ZintraxParameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

struct TScopedSeed {
  TScopedSeed() {
    FFolder = std::filesystem::temp_directory_path() / "zintrax-adapter-test";
    std::filesystem::create_directories(FFolder);
    setenv("ZINTRAX_SETTINGS_FILE", (FFolder / "Zintrax.conf").c_str(), 1);
    setenv("ZINTRAX_SEED", "4711", 1);
  }
  ~TScopedSeed() {
    unsetenv("ZINTRAX_SEED");
    unsetenv("ZINTRAX_SETTINGS_FILE");
    std::filesystem::remove_all(FFolder);
  }
  std::filesystem::path FFolder;
};

constexpr float kValues[kZintraxParameterCount] = {333.3f, 2.7f, 0.25f, 0.8f};
constexpr int32_t kFrames = 3000;

std::vector<float> Input(int channel) {
  std::vector<float> in(kFrames);
  for (int32_t n = 0; n < kFrames; ++n)
    in[n] = (n % 700 < 40 ? 0.6f : 0.0f) * std::sin(0.05f * n * (channel + 1));
  return in;
}

// The VST 2.x record as a host drives it, every value set through the host's 0..1 scale.
std::vector<float> RecordRender() {
  AEffect* effect = CreateVSTModule<TZintraxModule>(nullptr);
  const auto dispatch = [effect](int32_t op, intptr_t value = 0, float opt = 0.0f) {
    return effect->dispatcher(effect, op, 0, value, nullptr, opt);
  };
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 48000.0f);
  dispatch(effSetBlockSize, 512);
  auto* module = static_cast<TZintraxModule*>(effect->object);
  for (int32_t i = 0; i < kZintraxParameterCount; ++i)
    effect->setParameter(effect, i, module->RealToNormalized(i, kValues[i]));
  // The 0..1 scale rounds: the record's values are what the adapter is then given exactly.
  std::vector<float> real(kZintraxParameterCount);
  for (int32_t i = 0; i < kZintraxParameterCount; ++i)
    real[i] = module->GetParameterValue(i);
  dispatch(effMainsChanged, 1);
  std::vector<float> left = Input(0), right = Input(1), outLeft(kFrames), outRight(kFrames);
  for (int32_t done = 0; done < kFrames; done += 512) {
    const int32_t n = std::min(512, kFrames - done);
    float* in[2] = {left.data() + done, right.data() + done};
    float* out[2] = {outLeft.data() + done, outRight.data() + done};
    effect->processReplacing(effect, in, out, n);
  }
  dispatch(effClose);
  outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
  outLeft.insert(outLeft.end(), real.begin(), real.end());
  return outLeft;
}

// The adapter, handed blocks of the sizes given in turn (0 included), in place when asked.
std::vector<float> AdapterRender(const std::vector<float>& values, std::vector<int32_t> blocks,
                                 bool inPlace) {
  TModuleAdapter adapter;
  adapter.Open(48000.0f, 512);
  for (int32_t i = 0; i < kZintraxParameterCount; ++i)
    adapter.SetParameter(i, values[i]);
  std::vector<float> left = Input(0), right = Input(1), outLeft(kFrames), outRight(kFrames);
  size_t b = 0;
  for (int32_t done = 0; done < kFrames; ++b) {
    const int32_t n = std::min(blocks[b % blocks.size()], kFrames - done);
    const float* in[2] = {left.data() + done, right.data() + done};
    float* out[2] = {outLeft.data() + done, outRight.data() + done};
    if (inPlace) {
      out[0] = left.data() + done;
      out[1] = right.data() + done;
    }
    adapter.Process(in, out, n);
    done += n;
  }
  if (inPlace) {
    outLeft = left;
    outRight = right;
  }
  outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
  return outLeft;
}

} // namespace

TEST(ModuleAdapter, GivesTheRecordsSamplesForTheSameSeedInputAndValuesHoweverTheFramesAreCut) {
  const TScopedSeed seed;
  std::vector<float> record = RecordRender();
  const std::vector<float> values(record.end() - kZintraxParameterCount, record.end());
  record.resize(record.size() - kZintraxParameterCount);
  float peak = 0.0f;
  for (float x : record)
    peak = std::max(peak, std::abs(x));
  ASSERT_GT(peak, 0.05f);
  EXPECT_EQ(record, AdapterRender(values, {512}, false));
  EXPECT_EQ(record, AdapterRender(values, {2048, 0, 1, 700, 3}, false));
  EXPECT_EQ(record, AdapterRender(values, {1500, 77}, true));
}

TEST(ModuleAdapter, TakesExactValuesAndHandsOnlyOtherCallersNoticesOn) {
  TModuleAdapter adapter;
  std::vector<std::pair<int32_t, float>> changes;
  adapter.Notices.ParameterChanged = [&](int32_t i, float v) { changes.emplace_back(i, v); };
  adapter.SetParameter(zpDistance, 333.3f);
  EXPECT_EQ(333.3f, adapter.Parameter(zpDistance));
  EXPECT_EQ("333.299987792969", adapter.ParameterDisplayFor(zpDistance, 333.3f));
  adapter.SelectProgram(2);
  EXPECT_EQ(2, adapter.CurrentProgram());
  EXPECT_EQ(300.0f, adapter.Parameter(zpDistance));
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(std::optional<float>(412.5f), adapter.ParseParameter(zpDistance, " 412.5 "));
  EXPECT_FALSE(adapter.ParseParameter(zpDistance, "far"));
  EXPECT_EQ(0.5, adapter.ToNormalized(zpDistance, 400.0f));
  EXPECT_EQ(400.0f, adapter.FromNormalized(zpDistance, 0.5));
  EXPECT_EQ(333.3f, adapter.FromNormalized(zpDistance, adapter.ToNormalized(zpDistance, 333.3f)));
}

TEST(ModuleAdapter, DescribesTheModuleForGeneratedFiles) {
  const TModuleDescription d = TModuleAdapter::Describe();
  EXPECT_EQ("Zintrax", d.Name);
  EXPECT_EQ("Zntx", d.UniqueID);
  ASSERT_EQ(4u, d.Parameters.size());
  EXPECT_EQ("Distance", d.Parameters[0].Name);
  EXPECT_EQ("cm", d.Parameters[0].Units);
  EXPECT_EQ(50.0f, d.Parameters[0].Min);
  EXPECT_EQ(750.0f, d.Parameters[0].Default);
  EXPECT_EQ(1.5f, d.Parameters[1].Default);
  ASSERT_EQ(3u, d.Programs.size());
  EXPECT_EQ("heavy rock", d.Programs[1].Name);
  EXPECT_EQ(0.9f, d.Programs[1].Values[3]);
  EXPECT_EQ(298, d.EditorWidth);
  EXPECT_EQ(223, d.EditorHeight);
}
