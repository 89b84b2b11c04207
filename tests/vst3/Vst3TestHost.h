// A VST3 host for tests: the built bundle loaded through the hosts' loader (tools/hosting), one
// instance reached only through the interfaces, driven as a host drives it.
#pragma once

#include "FactoryRender.h"
#include "StereoSignal.h"
#include "formats/vst3/Vst3Controller.h"
#include "hosting/Vst3Effect.h"
#include "hosting/Vst3HostObjects.h"
#include "hosting/Vst3Library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vst3test {

using namespace vst3;

inline zhost::Vst3Library& Library() {
  static zhost::Vst3Library library(ZINTRAX_VST3_BUNDLE);
  return library;
}

using stereotest::FactoryInput;
using stereotest::Stereo;

// One instance of the library's first effect class.
class Effect : public zhost::Vst3Effect {
public:
  Effect() : Vst3Effect(Library(), Library().Effects().at(0).cid) {}

  void Start(double sampleRate = 44100.0, int32 maxBlock = 512) {
    Vst3Effect::Start(sampleRate, maxBlock);
  }

  // One block of two channels; changes may be null.
  tresult Process(const float* inL, const float* inR, float* outL, float* outR, int32 frames,
                  IParameterChanges* changes = nullptr) {
    const float* in[2] = {inL, inR};
    float* out[2] = {outL, outR};
    return Vst3Effect::Process(in, out, frames, changes);
  }

  // The input in blocks of block frames; before each block, changes(done, block's changes) may
  // add points for it.
  Stereo Render(const Stereo& input, int32 block,
                const std::function<void(int32, zhost::Vst3ParameterChanges&)>& changes = {}) {
    Stereo output(input.Frames());
    auto queue = TRef<zhost::Vst3ParameterChanges>::Adopt(new zhost::Vst3ParameterChanges);
    for (std::size_t done = 0; done < input.Frames(); done += std::size_t(block)) {
      const int32 n = int32(std::min<std::size_t>(std::size_t(block), input.Frames() - done));
      queue->Clear();
      if (changes)
        changes(int32(done), *queue);
      EXPECT_EQ(kResultOk, Process(&input.left[done], &input.right[done], &output.left[done],
                                   &output.right[done], n, queue.get()));
    }
    return output;
  }
};

// The edits a handler hears, each run of performed values once: "B0 P0 E0 ", and the last value
// performed.
struct EditLog {
  std::string edits;
  ParamValue performed = -1;

  void Listen(zhost::Vst3ComponentHandler& handler) {
    handler.onBegin = [this](ParamID id) { Add('B', id); };
    handler.onPerform = [this](ParamID id, ParamValue value) {
      if (!edits.ends_with(Mark('P', id)))
        Add('P', id);
      performed = value;
    };
    handler.onEnd = [this](ParamID id) { Add('E', id); };
  }
  static std::string Mark(char kind, ParamID id) {
    std::string text(1, kind);
    text.append(std::to_string(id)).push_back(' ');
    return text;
  }
  void Add(char kind, ParamID id) { edits.append(Mark(kind, id)); }
};

// The factory render (FactoryRender.h) through a new instance: the program selected through its
// parameter, activated, the signal processed in the same blocks and hashed the same way.
inline uint64_t RenderHash(int32_t program) {
  Effect effect;
  ParameterInfo info{};
  effect.controller->getParameterInfo(4, &info);
  EXPECT_EQ(kResultOk, effect.controller->setParamNormalized(info.id, program / 2.0));
  effect.Start(factoryrender::kSampleRate, factoryrender::kBlockFrames);
  factoryrender::TSignal signal = factoryrender::Input();
  Stereo input;
  input.left = std::move(signal.Left);
  input.right = std::move(signal.Right);
  const Stereo output = effect.Render(input, factoryrender::kBlockFrames);
  uint64_t hash = 0xcbf29ce484222325u;
  for (std::size_t done = 0; done < output.Frames(); done += factoryrender::kBlockFrames) {
    hash =
        factoryrender::Hash(&output.left[done], factoryrender::kBlockFrames * sizeof(float), hash);
    hash =
        factoryrender::Hash(&output.right[done], factoryrender::kBlockFrames * sizeof(float), hash);
  }
  return hash;
}

} // namespace vst3test
