#include "DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zhost {

namespace {

struct Note {
  double start;     // seconds
  double frequency; // Hz
  double length;    // seconds until the string is damped
};

// An E minor figure on the low strings, then a chord, all damped before the silence.
constexpr Note kNotes[] = {
    {0.00, 82.41, 1.2},  {0.40, 123.47, 1.0}, {0.80, 164.81, 1.0},
    {1.20, 196.00, 1.0}, {1.60, 246.94, 0.9}, {2.20, 82.41, 1.3},
    {2.20, 123.47, 1.3}, {2.20, 164.81, 1.3}, {2.20, 196.00, 1.3},
};

constexpr double kDamping = 0.08; // seconds of fade when a string is damped
constexpr float kPeak = 0.7f;     // the loudest sample of the demo

// A fixed noise sequence, so the demo is identical on every run.
class Noise {
public:
  float Next() {
    FState = FState * 1664525u + 1013904223u;
    return static_cast<float>(FState >> 8) / static_cast<float>(1u << 23) - 1.0f;
  }

private:
  uint32_t FState = 12345u;
};

// One string: a delay line one period long, filled with a noise burst and averaged on each pass.
void Pluck(std::vector<float>& out, const Note& note, int sampleRate, Noise& noise) {
  const size_t period =
      std::max<size_t>(2, static_cast<size_t>(std::lround(sampleRate / note.frequency)));
  std::vector<float> line(period);
  for (float& sample : line)
    sample = noise.Next();
  const size_t begin = static_cast<size_t>(note.start * sampleRate);
  const size_t length = static_cast<size_t>(note.length * sampleRate);
  const size_t fade = static_cast<size_t>(kDamping * sampleRate);
  size_t position = 0;
  for (size_t n = 0; n < length && begin + n < out.size(); ++n) {
    const size_t next = (position + 1) % period;
    const float sample = line[position];
    line[position] = 0.996f * 0.5f * (line[position] + line[next]);
    position = next;
    const float gain = n + fade < length ? 1.0f : static_cast<float>(length - n) / fade;
    out[begin + n] += gain * sample;
  }
}

class MemorySource : public AudioSource {
public:
  MemorySource(std::vector<float> samples, int sampleRate)
      : FSamples(std::move(samples)), FSampleRate(sampleRate) {}

  int Channels() const override { return 1; }
  int SampleRate() const override { return FSampleRate; }
  int64_t Frames() const override { return static_cast<int64_t>(FSamples.size()); }
  int64_t Read(float* interleaved, int64_t frames) override {
    const int64_t count = std::min<int64_t>(frames, Frames() - FPosition);
    std::copy_n(FSamples.begin() + FPosition, count, interleaved);
    FPosition += count;
    return count;
  }

private:
  std::vector<float> FSamples;
  int FSampleRate;
  int64_t FPosition = 0;
};

} // namespace

std::vector<float> DemoSamples(int sampleRate) {
  const auto total = static_cast<size_t>((DemoTimes::kNotes + DemoTimes::kSilence) * sampleRate);
  std::vector<float> samples(total, 0.0f);
  Noise noise;
  for (const Note& note : kNotes)
    Pluck(samples, note, sampleRate, noise);
  float peak = 0.0f;
  for (float sample : samples)
    peak = std::max(peak, std::fabs(sample));
  if (peak > 0.0f)
    for (float& sample : samples)
      sample *= kPeak / peak;
  return samples;
}

std::unique_ptr<AudioSource> DemoSource(int sampleRate) {
  return std::make_unique<MemorySource>(DemoSamples(sampleRate), sampleRate);
}

} // namespace zhost
