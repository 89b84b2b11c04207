#include "PlayEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace zhost {

namespace {

// The largest magnitude among the samples, and whether it is above what peak holds.
void RaisePeak(std::atomic<float>& peak, const float* samples, jack_nframes_t frames) {
  float top = 0.0f;
  for (jack_nframes_t i = 0; i < frames; ++i)
    top = std::max(top, std::fabs(samples[i]));
  float held = peak.load(std::memory_order_relaxed);
  while (top > held && !peak.compare_exchange_weak(held, top, std::memory_order_relaxed)) {
  }
}

} // namespace

PlayEngine::PlayEngine(JackClient& jack, bool mono) : FJack(jack) {
  FInputs.push_back(jack.AddPort("in_1", true));
  if (!mono)
    FInputs.push_back(jack.AddPort("in_2", true));
  FOutputs.push_back(jack.AddPort("out_1", false));
  FOutputs.push_back(jack.AddPort("out_2", false));
}

void PlayEngine::Release() {
  while (FBusy.load())
    std::this_thread::yield();
}

void PlayEngine::Record(PlayRecorder* recorder) {
  FRecorder.store(nullptr);
  Release();
  FRecorder.store(recorder);
}

void PlayEngine::Use(Instance* plugin, int32_t blockSize) {
  FPlugin.store(nullptr);
  Release();
  if (plugin) {
    FBlock = std::max(blockSize, 1);
    const size_t spare = size_t(std::max(plugin->NumOutputs() - 2, 0));
    FSpare.assign(spare * size_t(FBlock), 0.0f);
    FIn.assign(size_t(std::max(plugin->NumInputs(), 0)), nullptr);
    FOut.assign(size_t(std::max(plugin->NumOutputs(), 0)), nullptr);
    FPlugin.store(plugin);
  }
}

void PlayEngine::Run(Instance& plugin, float* const* in, float* const* out, jack_nframes_t frames) {
  for (size_t c = 0; c < FIn.size(); ++c)
    FIn[c] = in[c % FInputs.size()];
  for (size_t c = 0; c < FOut.size(); ++c)
    FOut[c] = c < 2 ? out[c] : FSpare.data() + (c - 2) * size_t(FBlock);
  plugin.Process(FIn.data(), FOut.data(), int32_t(frames));
  if (FOut.size() == 1)
    std::memcpy(out[1], out[0], frames * sizeof(float));
  else if (FOut.empty())
    for (int c = 0; c < 2; ++c)
      std::memset(out[c], 0, frames * sizeof(float));
}

int PlayEngine::Process(jack_nframes_t frames) {
  FBusy.store(true);
  float* in[2] = {};
  float* out[2] = {};
  for (size_t c = 0; c < FInputs.size(); ++c) {
    in[c] = FJack.Buffer(FInputs[c], frames);
    RaisePeak(FInputPeak, in[c], frames);
  }
  for (size_t c = 0; c < 2; ++c)
    out[c] = FJack.Buffer(FOutputs[c], frames);

  bool played = false;
  if (Instance* plugin = FPlugin.load()) {
    const uint64_t start = FJack.Now();
    try {
      for (jack_nframes_t done = 0; done < frames;) {
        const jack_nframes_t n = std::min<jack_nframes_t>(frames - done, jack_nframes_t(FBlock));
        float* const inAt[2] = {in[0] + done, in[FInputs.size() - 1] + done};
        float* const outAt[2] = {out[0] + done, out[1] + done};
        Run(*plugin, inAt, outAt, n);
        done += n;
      }
      played = true;
    } catch (...) {
      // A failing call leaves this period silent; the next one tries again.
    }
    const double period = double(frames) / double(FJack.SampleRate()) * 1e6;
    const float load = period > 0 ? float(double(FJack.Now() - start) / period) : 0.0f;
    if (load > FLoad.load(std::memory_order_relaxed))
      FLoad.store(load, std::memory_order_relaxed);
  }
  if (!played)
    for (float* o : out)
      std::memset(o, 0, frames * sizeof(float));

  const float target = FTarget.load(std::memory_order_relaxed);
  const float step = FStep.load(std::memory_order_relaxed);
  for (jack_nframes_t i = 0; i < frames; ++i) {
    FGain = FGain < target ? std::min(target, FGain + step) : std::max(target, FGain - step);
    out[0][i] *= FGain;
    out[1][i] *= FGain;
  }
  if (target == 0.0f && FGain == 0.0f)
    FFadedOut.store(true);
  for (float* o : out)
    RaisePeak(FOutputPeak, o, frames);
  if (PlayRecorder* recorder = FRecorder.load()) {
    const float* const channels[PlayRecorder::kChannels] = {in[0], in[FInputs.size() - 1], out[0],
                                                            out[1]};
    recorder->Push(channels, frames);
  }
  FBusy.store(false);
  return 0;
}

void PlayEngine::Fade(bool in, double seconds) {
  const double frames = std::max(1.0, seconds * double(FJack.SampleRate()));
  FStep.store(float(1.0 / frames));
  FFadedOut.store(false);
  FTarget.store(in ? 1.0f : 0.0f);
}

PlayEngine::Levels PlayEngine::TakeLevels() {
  Levels levels;
  levels.inputPeak = FInputPeak.exchange(0.0f);
  levels.outputPeak = FOutputPeak.exchange(0.0f);
  levels.load = FLoad.exchange(0.0f);
  levels.xruns = FXruns.load();
  return levels;
}

} // namespace zhost
