// Exact samples of the built plug-in with a fixed seed, as a host renders them: values from an
// implementation of the signal path written apart from this one, the envelope's quiet
// threshold after a long silence, and the taps of the table that never reach the output.
#include "effect_helpers.h"

#include <fstream>

using namespace effecttest;
using testhost::Instance;
using testhost::Library;

namespace {
struct TPinned {
  std::size_t frame;
  float left, right;
};

void ExpectPinned(const Stereo& out, const std::vector<TPinned>& pinned) {
  for (const TPinned& p : pinned) {
    EXPECT_EQ(p.left, out.left[p.frame]) << "left, frame " << p.frame;
    EXPECT_EQ(p.right, out.right[p.frame]) << "right, frame " << p.frame;
  }
}

// Processes frames of silence in blocks of 4096 and answers the peak of the left output over
// the frames from..to (counted from the start of this call).
float SilencePeak(const Instance& effect, std::size_t frames, std::size_t from, std::size_t to) {
  static const Stereo silence(4096);
  Stereo out(4096);
  float peak = 0.0f;
  for (std::size_t done = 0; done < frames;) {
    const int n = int(std::min<std::size_t>(4096, frames - done));
    const float* in[2] = {silence.left.data(), silence.right.data()};
    float* outs[2] = {out.left.data(), out.right.data()};
    effect.Effect()->processReplacing(effect.Effect(), const_cast<float**>(in), outs, n);
    for (int i = 0; i < n; ++i)
      if (done + i >= from && done + i < to)
        peak = std::max(peak, std::abs(out.left[i]));
    done += std::size_t(n);
  }
  return peak;
}
} // namespace

// The wobble of the delay takes one draw per frame for both channels, the first one a step
// after the seed: these values pin where the echoes land and how they are split. The sample
// rate plays no part, and selecting the program that is already current changes nothing.
TEST(EffectSamples, AFreshInstanceWithSeed12345GivesTheIndependentlyComputedSamples) {
  for (const float rate : {44100.0f, 96000.0f}) {
    SCOPED_TRACE(rate);
    PrivateSettings settings("12345");
    Library library;
    Instance effect(library);
    effect.Start(rate);
    if (rate != 44100.0f)
      effect.Dispatch(effSetProgram, 0, 0);
    Stereo input(400);
    input.left[0] = 1.0f;
    input.right[0] = 0.5f, input.right[1] = -0.5f, input.right[2] = 0.25f, input.right[3] = -0.25f;
    const Stereo out = Render(effect, input, {512});
    ExpectPinned(out, {{0, 0.9130434989929199f, 0.6604774594306946f},
                       {1, 4.161791505522229e-25f, -0.6604774594306946f},
                       {2, 4.855423094417223e-25f, 0.3677060902118683f},
                       {3, 5.20223888886472e-25f, -0.3677060902118683f},
                       {78, 5.549055176350283e-25f, 5.549055176350283e-25f},
                       {79, 0.009182385168969631f, 0.006642355117946863f},
                       {80, 0.24624910950660706f, 0.17877112329006195f},
                       {81, 0.12374559789896011f, -0.06619404256343842f},
                       {82, 0.061910480260849f, 0.0518253818154335f},
                       {83, 0.030957506969571114f, -0.07515398412942886f},
                       {158, 5.879765376448631e-05f, 4.253305814927444e-05f},
                       {159, 0.002558475360274315f, 0.0018507502973079681f},
                       {160, 0.06904913485050201f, 0.04943490028381348f},
                       {161, 0.06903926283121109f, 0.006723007652908564f},
                       {162, 0.051043566316366196f, 0.015053761191666126f},
                       {163, 0.034305546432733536f, -0.012529703788459301f}});
  }
}

// "encore" selected after open: delay 406.857 samples, drive 2, the blend of X 0.1, Y 0.2.
TEST(EffectSamples, EncoreWithSeed777GivesTheIndependentlyComputedSamples) {
  PrivateSettings settings("777");
  Library library;
  Instance effect(library);
  effect.Start();
  effect.Dispatch(effSetProgram, 0, 2);
  Stereo input(900);
  input.left[0] = 1.0f;
  input.right[0] = 0.5f;
  const Stereo out = Render(effect, input, {7, 100, 1});
  ExpectPinned(out, {{0, 0.3108638525009155f, 0.15703710913658142f},
                     {1, -0.015587165020406246f, -0.007793590892106295f},
                     {2, 0.2637108862400055f, 0.13267643749713898f},
                     {404, 1.014016894535901e-24f, 1.014016894535901e-24f},
                     {405, 1.014016894535901e-24f, 1.014016894535901e-24f},
                     {406, 0.008770993910729885f, 0.004430788103491068f},
                     {407, 0.03245266526937485f, 0.016396386548876762f},
                     {408, 0.026996619999408722f, 0.01363379042595625f},
                     {409, 0.06249276176095009f, 0.03152026981115341f},
                     {410, 0.02677404321730137f, 0.013516698032617569f},
                     {811, 2.0422470904316214e-24f, 2.0422470904316214e-24f},
                     {812, 5.304386650095694e-05f, 2.679584031284321e-05f},
                     {813, 0.001613855129107833f, 0.0008153156377375126f},
                     {816, 0.013608558103442192f, 0.0068689375184476376f}});
}

// After a peak of 1.0 the envelope decays by 0.999999 per frame (rounded each time) and first
// lies below 0.00002 10819591 frames later. Until then the whole output is stored for feedback
// and the loop of Distance 50, Feeding 5, X 1, Y 0 holds full scale; from then on only the
// idle feed of 0.25 is stored, and the loop settles at a clearly lower level.
TEST(EffectSamples, TheIdleFeedTakesOverOnlyOnceTheEnvelopeHasDecayedBelowTheThreshold) {
  PrivateSettings settings;
  Library library;
  Instance effect(library);
  effect.Start();
  SetParameters(effect, 50.0f, 5.0f, 1.0f, 0.0f);
  Stereo impulse(1);
  impulse.left[0] = 1.0f;
  Render(effect, impulse);
  // Frame 0 was the peak; render up to the last loud frame, then the first frames after it.
  constexpr std::size_t kQuiet = 10819591;
  EXPECT_GT(SilencePeak(effect, kQuiet - 1, kQuiet - 20001, kQuiet - 1), 0.99f);
  // What was stored before the threshold still returns through the delay of 64 frames.
  EXPECT_GT(SilencePeak(effect, 60, 0, 60), 0.99f);
  EXPECT_LT(SilencePeak(effect, 20000, 10000, 20000), 0.95f);
}

// Blocks 3 and 4 carry their main peaks at taps 17 to 21; the cabinet filter uses taps 0 to
// 15 only, so whatever the later taps hold, the sound at the corners is the same.
TEST(EffectSamples, TapsBeyond15OfTheTableNeverReachTheOutput) {
  Stereo input(6000);
  for (std::size_t i = 0; i < 300; ++i)
    input.left[i] = input.right[i] = 0.3f * float((i * 37) % 11) / 11.0f - 0.1f;
  std::vector<Stereo> outputs;
  for (const float tail : {0.0f, 40.0f}) {
    PrivateSettings settings;
    std::vector<float> table(256, 0.0f);
    for (int block = 0; block < 4; ++block)
      for (int tap = 0; tap < 64; ++tap)
        table[64 * block + tap] = tap < 16 ? 0.05f * float(block + 1) / float(tap + 1) : tail;
    const std::filesystem::path file = settings.Folder() / "table.pcm";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(table.data()), 1024);
    std::ofstream(settings.Store()) << "Impulse File=" << file.string() << "\n";
    Library library;
    for (const float y : {1.0f, 0.3f}) {
      Instance effect(library);
      effect.Start();
      SetParameters(effect, 200.0f, 3.0f, 1.0f, y);
      outputs.push_back(Render(effect, input));
    }
  }
  EXPECT_EQ(outputs[0].left, outputs[2].left);
  EXPECT_EQ(outputs[0].right, outputs[2].right);
  EXPECT_EQ(outputs[1].left, outputs[3].left);
  EXPECT_GT(Peak(outputs[0].left, 1000, 6000), 1e-3f); // the loop does carry the sound
}
