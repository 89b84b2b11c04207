// The VST 2.x plug-in's render of a stereo input at values typed in their own units, in blocks
// of 256 frames at 48000 Hz: what the CLAP file must sound like at the same values.
#pragma once

#include "ClapTestHost.h"
#include "abi/PluginHost.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace claptest {

inline Stereo Vst2Render(const std::array<double, 4>& values, const Stereo& input) {
  const testhost::Library vst2(ZINTRAX_PLUGIN_PATH);
  const testhost::Instance reference(vst2);
  AEffect* e = reference.Effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  for (int i = 0; i < 4; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", values[std::size_t(i)]);
    e->dispatcher(e, effString2Parameter, i, 0, text, 0.0f);
  }
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  Stereo output(input.Frames());
  for (std::size_t done = 0; done < input.Frames(); done += 256) {
    float* in[2] = {const_cast<float*>(&input.left[done]), const_cast<float*>(&input.right[done])};
    float* out[2] = {&output.left[done], &output.right[done]};
    e->processReplacing(e, in, out, int32_t(std::min<std::size_t>(256, input.Frames() - done)));
  }
  return output;
}

} // namespace claptest
