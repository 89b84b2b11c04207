// The sound of the built plug-in, heard through its effect record as a host hears it.
#include "effect_helpers.h"

#include <xmmintrin.h>

#include <cmath>
#include <cstring>

using namespace effecttest;
using testhost::Instance;
using testhost::Library;

namespace {
// A plucked burst: decaying noise on both channels, different on each.
Stereo Burst(std::size_t frames, std::size_t length, float level) {
  Stereo s(frames);
  uint32_t noise = 7;
  for (std::size_t i = 0; i < length && i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const float n = float(noise >> 8) / float(1 << 24) - 0.5f;
    const float decay = level * std::exp(-float(i) / float(length / 4 + 1));
    s.left[i] = decay * (0.7f * std::sin(float(i) * 0.05f) + n);
    s.right[i] = decay * (0.6f * std::sin(float(i) * 0.043f) - n);
  }
  return s;
}

// The SSE control and status register and the x87 control word of the calling thread.
__attribute__((target("sse"))) unsigned ReadMxcsr() {
  return _mm_getcsr();
}
__attribute__((target("sse"))) void WriteMxcsr(unsigned value) {
  _mm_setcsr(value);
}
uint16_t ReadX87ControlWord() {
  uint16_t word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

class EffectSound : public ::testing::Test {
protected:
  PrivateSettings settings;
  Library library;
};
} // namespace

TEST_F(EffectSound, AnImpulseAfterOpenGivesTheSaturatedValueAtOnceAndEchoesAbout80SamplesLater) {
  Instance effect(library);
  effect.Start();
  Stereo input(2000);
  input.left[1000] = 1.0f;
  const Stereo out = Render(effect, input);
  // Silence settles to a tiny positive floor built from the loop's offset, never to zero.
  for (std::size_t i = 0; i < 1000; ++i)
    ASSERT_GT(out.left[i], 0.0f) << i;
  EXPECT_NEAR(out.left[999], 8.3e-25f, 0.2e-25f);
  EXPECT_NEAR(out.left[1000], 0.913043f, 1e-6f);
  EXPECT_NEAR(out.right[1000], out.right[999], 1e-30f);
  // Nothing but the floor until the echo, which the interpolation and the low-pass spread
  // over samples 79 to 81; it comes back every 80 samples or so.
  EXPECT_LT(Peak(out.left, 1001, 1078), 1e-20f);
  const float echo = Peak(out.left, 1079, 1083);
  EXPECT_GT(echo, 0.05f);
  EXPECT_LT(Peak(out.left, 1085, 1157), echo);
  EXPECT_GT(Peak(out.left, 1158, 1166), 1e-3f);
  EXPECT_LT(Peak(out.right, 0, 2000), 1e-20f);
}

TEST_F(EffectSound, TheProgramsShapeHowTheLoopRingsOn) {
  const std::size_t frames = 6 * 44100;
  const Stereo burst = Burst(frames, 2000, 0.8f);
  {
    Instance effect(library);
    effect.Start();
    effect.Dispatch(effSetProgram, 0, 1);
    effect.Dispatch(effSetProgram, 0, 0); // "on stage": the echoes die away
    const Stereo out = Render(effect, burst);
    EXPECT_GT(Peak(out.left, 0, 2000), 0.3f);
    EXPECT_LT(Peak(out.left, 12000, 14000), 1e-3f);
    EXPECT_LT(Peak(out.left, frames - 2000, frames), 1e-6f);
  }
  {
    Instance effect(library);
    effect.Start();
    effect.Dispatch(effSetProgram, 0, 2); // "encore": a tone grows until the saturation holds it
    const Stereo out = Render(effect, Burst(frames, 200, 0.5f));
    const float first = Peak(out.left, 22050, 44100), later = Peak(out.left, 3 * 44100, 4 * 44100),
                last = Peak(out.left, frames - 44100, frames);
    EXPECT_GT(first, 0.3f);
    EXPECT_GT(later, first);
    EXPECT_GE(last, later - 0.002f);
    EXPECT_LT(last, 0.4f);
  }
  {
    Instance effect(library);
    effect.Start();
    SetParameters(effect, 50.0f, 5.0f, 1.0f, 0.0f); // close to full scale right away
    const Stereo out = Render(effect, burst);
    EXPECT_GT(Peak(out.left, 4000, 8000), 0.995f);
    EXPECT_GT(Peak(out.left, frames - 4000, frames), 0.995f);
    EXPECT_LT(Peak(out.left, 2000, frames), 1.0f);
  }
}

TEST_F(EffectSound, TheSameSignalOnBothInputsGivesTheSameOutputs) {
  Instance effect(library);
  effect.Start();
  effect.Dispatch(effSetProgram, 0, 1);
  Stereo input = Burst(30000, 3000, 0.9f);
  input.right = input.left;
  const Stereo out = Render(effect, input);
  EXPECT_EQ(0, std::memcmp(out.left.data(), out.right.data(), out.left.size() * sizeof(float)));
}

TEST_F(EffectSound, OutputsStayWithinFullScaleAndFiniteForAnyInput) {
  Instance effect(library);
  effect.Start();
  SetParameters(effect, 50.0f, 5.0f, 0.3f, 0.6f);
  const float values[] = {1e30f, -1e30f, 3.4e38f, -3.4e38f, INFINITY, -INFINITY,
                          NAN,   1e-42f, -1e-42f, 0.5f,     -0.0f,    2.0f};
  Stereo input(20000);
  for (std::size_t i = 0; i < input.Frames(); ++i) {
    input.left[i] = values[i % std::size(values)];
    input.right[i] = values[(i * 7 + 3) % std::size(values)];
  }
  const Stereo out = Render(effect, input, {333});
  for (std::size_t i = 0; i < out.Frames(); ++i)
    for (float v : {out.left[i], out.right[i]}) {
      ASSERT_TRUE(std::isfinite(v)) << i;
      ASSERT_LE(std::abs(v), 1.0f) << i;
      ASSERT_TRUE(v == 0.0f || std::abs(v) >= 1.17549435e-38f) << "subnormal at " << i;
    }
  // Very large inputs give exactly full scale.
  EXPECT_EQ(1.0f, std::abs(out.left[0]));
}

TEST_F(EffectSound, InputThatIsNotFiniteDoesNotPoisonTheLoop) {
  Instance effect(library);
  effect.Start();
  Stereo input(30000);
  for (std::size_t i = 100; i < 200; ++i) {
    input.left[i] = NAN;
    input.right[i] = i % 2 ? INFINITY : -INFINITY;
  }
  const Stereo out = Render(effect, input);
  for (std::size_t i = 0; i < out.Frames(); ++i)
    ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
  EXPECT_NEAR(out.left.back(), 8.3e-25f, 0.2e-25f);
}

TEST_F(EffectSound, BlockSizesInPlaceProcessingAndEmptyBlocksDoNotChangeTheSound) {
  const Stereo input = Burst(20000, 4000, 0.7f);
  Stereo reference;
  {
    Instance effect(library);
    effect.Start();
    effect.Dispatch(effSetProgram, 0, 2);
    reference = Render(effect, input, {512});
  }
  {
    Instance effect(library);
    effect.Start();
    effect.Dispatch(effSetProgram, 0, 2);
    const Stereo out = Render(effect, input, {1, 7, 0, 64, 13, 511, 0, 3, 2048, 97});
    EXPECT_EQ(reference.left, out.left);
    EXPECT_EQ(reference.right, out.right);
  }
  {
    Instance effect(library);
    effect.Start();
    effect.Dispatch(effSetProgram, 0, 2);
    Stereo buffers = input;
    for (std::size_t done = 0; done < buffers.Frames(); done += 300) {
      const int n = int(std::min<std::size_t>(300, buffers.Frames() - done));
      float* io[2] = {&buffers.left[done], &buffers.right[done]};
      effect.Effect()->processReplacing(effect.Effect(), io, io, n);
    }
    EXPECT_EQ(reference.left, buffers.left);
    EXPECT_EQ(reference.right, buffers.right);
  }
}

TEST_F(EffectSound, EveryOutputSampleIsWrittenByBothAudioPaths) {
  Instance effect(library);
  effect.Start();
  Stereo input = Burst(4096, 1000, 0.5f);
  Stereo out(4096, NAN);
  float* in[2] = {input.left.data(), input.right.data()};
  float* outs[2] = {out.left.data(), out.right.data()};
  effect.Effect()->processReplacing(effect.Effect(), in, outs, 4096);
  for (std::size_t i = 0; i < out.Frames(); ++i)
    ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
  // The accumulating path adds the same kind of output to what the host's buffers hold.
  Stereo summed(4096, 2.0f);
  float* sums[2] = {summed.left.data(), summed.right.data()};
  effect.Effect()->process(effect.Effect(), in, sums, 4096);
  for (std::size_t i = 0; i < summed.Frames(); ++i) {
    ASSERT_GE(summed.left[i], 1.0f) << i;
    ASSERT_LE(summed.left[i], 3.0f) << i;
  }
}

TEST_F(EffectSound, ProcessingBeforeOpenWritesSilenceAndOpenStartsFromTheFixedState) {
  Instance effect(library);
  // A host may set parameters and pick a program right after main.
  effect.Dispatch(effSetProgram, 0, 2);
  effect.SetParameter(0, 1.0f);
  Stereo input(1000, 0.25f);
  Stereo out(1000, NAN);
  float* in[2] = {input.left.data(), input.right.data()};
  float* outs[2] = {out.left.data(), out.right.data()};
  effect.Effect()->processReplacing(effect.Effect(), in, outs, 1000);
  EXPECT_EQ(std::vector<float>(1000, 0.0f), out.left);
  EXPECT_EQ(std::vector<float>(1000, 0.0f), out.right);

  // After open: delay 80 and a unit-impulse blend, whatever was set before; the drive is the
  // current Feeding (2.0 in "encore"): SoftClip(2.0) = 592 / 616.
  effect.Start();
  Stereo impulse(400);
  impulse.left[100] = 1.0f;
  const Stereo heard = Render(effect, impulse);
  EXPECT_NEAR(heard.left[100], 592.0f / 616.0f, 1e-6f);
  EXPECT_GT(Peak(heard.left, 179, 183), 0.05f);
  EXPECT_LT(Peak(heard.left, 101, 178), 1e-20f);
}

TEST_F(EffectSound, DistancesOutsideTheRangeKeepEveryReadInsideTheBuffers) {
  Instance effect(library);
  effect.Start();
  for (const float normalised : {20.0f, -20.0f, 1e30f, -1e30f}) {
    effect.SetParameter(0, normalised);
    effect.SetParameter(2, 0.2f);
    const Stereo out = Render(effect, Burst(9000, 3000, 0.8f), {256});
    for (std::size_t i = 0; i < out.Frames(); ++i)
      ASSERT_TRUE(std::abs(out.left[i]) <= 1.0f && std::abs(out.right[i]) <= 1.0f) << normalised;
  }
  char text[] = "5000";
  effect.Dispatch(effString2Parameter, 0, 0, text);
  const Stereo out = Render(effect, Burst(9000, 3000, 0.8f), {256});
  EXPECT_LE(Peak(out.left, 0, out.Frames()), 1.0f);
}

TEST_F(EffectSound, TheCallersFloatingPointStateComesBackAfterEveryAudioCallback) {
  Instance effect(library);
  effect.Start();
  Stereo input = Burst(3000, 1000, 0.5f);
  input.left[5] = NAN;
  float* in[2] = {input.left.data(), input.right.data()};
  Stereo out(3000);
  float* outs[2] = {out.left.data(), out.right.data()};
  const unsigned saved = ReadMxcsr();
  const uint16_t x87 = ReadX87ControlWord();
  // Round toward zero, invalid-operation and division-by-zero exceptions unmasked.
  const unsigned caller = (0x1F80u & ~0x0280u) | 0x6000u;
  WriteMxcsr(caller);
  effect.Effect()->processReplacing(effect.Effect(), in, outs, 3000);
  const unsigned afterReplacing = ReadMxcsr();
  WriteMxcsr(caller);
  effect.Effect()->process(effect.Effect(), in, outs, 3000);
  const unsigned afterAccumulating = ReadMxcsr();
  WriteMxcsr(saved);
  // The status flags (the low six bits) may have been raised by the host's own work.
  EXPECT_EQ(caller, afterReplacing & ~0x3Fu);
  EXPECT_EQ(caller, afterAccumulating & ~0x3Fu);
  EXPECT_EQ(x87, ReadX87ControlWord());
  for (float v : out.left)
    ASSERT_TRUE(std::isfinite(v));
}
