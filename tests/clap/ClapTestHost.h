// Tests' view of the CLAP file: the library loaded once through the hosts' own loader
// (tools/hosting/ClapLibrary.h), instances of its plug-in, stereo renders with events, and the
// factory render of FactoryRender.h through it. Shared by the Linux, arm64 and Windows tests.
#pragma once

#include "FactoryRender.h"
#include "StereoSignal.h"
#include "hosting/ClapEffect.h"
#include "hosting/ClapLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace claptest {

inline zhost::ClapLibrary& Library() {
  static zhost::ClapLibrary library(ZINTRAX_CLAP_FILE);
  return library;
}

using stereotest::FactoryInput;
using stereotest::Stereo;

// One instance of the file's plug-in.
class Effect : public zhost::ClapEffect {
public:
  Effect() : ClapEffect(Library()) {}

  void Set(clap_id id, double value) {
    zhost::ClapEventList change;
    change.Value(0, id, value);
    Flush(change);
  }
  bool SelectPreset(int32_t program) {
    const auto* load = static_cast<const clap_plugin_preset_load*>(
        Plugin().get_extension(&Plugin(), CLAP_EXT_PRESET_LOAD));
    const std::string key = std::to_string(program);
    return load && load->from_location(&Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                                       key.c_str());
  }
  // The input in blocks of at most block frames; events(done, frames, list) adds each block's.
  Stereo Render(const Stereo& input, uint32_t block,
                const std::function<void(uint32_t, uint32_t, zhost::ClapEventList&)>& events = {}) {
    Stereo output(input.Frames());
    zhost::ClapEventList list;
    for (std::size_t done = 0; done < input.Frames(); done += block) {
      const auto n = uint32_t(std::min<std::size_t>(block, input.Frames() - done));
      list.Clear();
      if (events)
        events(uint32_t(done), n, list);
      const float* in[2] = {&input.left[done], &input.right[done]};
      float* out[2] = {&output.left[done], &output.right[done]};
      EXPECT_EQ(CLAP_PROCESS_CONTINUE, Process(in, out, n, &list));
    }
    return output;
  }
};

// The factory render of a program selected as a preset.
inline uint64_t RenderHash(int32_t program) {
  Effect effect;
  EXPECT_TRUE(effect.SelectPreset(program));
  effect.Activate(factoryrender::kSampleRate, factoryrender::kBlockFrames,
                  factoryrender::kBlockFrames);
  const Stereo output = effect.Render(FactoryInput(), factoryrender::kBlockFrames);
  uint64_t hash = 0xcbf29ce484222325u;
  for (std::size_t done = 0; done < output.Frames(); done += factoryrender::kBlockFrames) {
    hash =
        factoryrender::Hash(&output.left[done], factoryrender::kBlockFrames * sizeof(float), hash);
    hash =
        factoryrender::Hash(&output.right[done], factoryrender::kBlockFrames * sizeof(float), hash);
  }
  return hash;
}

} // namespace claptest
