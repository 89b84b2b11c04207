// The built-in demo: a few plucked guitar notes (Karplus-Strong strings), the same on every run,
// followed by silence in which a feedback effect can ring on.
#pragma once

#include "AudioFile.h"

#include <memory>
#include <vector>

namespace zhost {

struct DemoTimes {
  static constexpr double kNotes = 3.5;   // seconds in which notes sound
  static constexpr double kSilence = 2.5; // seconds of silence after them
};

// The demo as mono samples at sampleRate.
std::vector<float> DemoSamples(int sampleRate);

// The demo as a one-channel source (which feeds every input of the plug-in).
std::unique_ptr<AudioSource> DemoSource(int sampleRate);

} // namespace zhost
