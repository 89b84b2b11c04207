// What play's plug-in received and what went out to JACK, written to an audio file as it plays:
// the audio thread hands the frames over through a ring of its own size, allocated up front, and
// the main loop writes them out. Channels: the plug-in's inputs 1 and 2, then outputs 1 and 2.
#pragma once

#include "AudioFile.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace zhost {

class PlayRecorder {
public:
  static constexpr int kChannels = 4;

  // Opens the file (named with its format's extension) for this rate; the ring holds seconds of
  // audio. Throws HostError or UsageError.
  PlayRecorder(const std::string& path, float rate, double seconds = 4.0);

  // On the audio thread: appends the frames of the four channels, or counts them lost when the
  // ring is full.
  void Push(const float* const channels[kChannels], uint32_t frames);
  // On the main thread: writes out what arrived.
  void Drain();
  // Writes the rest and gives the file its name.
  void Finish();
  uint64_t Lost() const { return FLost.load(); }
  uint64_t Written() const { return FWritten; }

private:
  AudioFileWriter FWriter;
  std::vector<float> FRing; // interleaved frames
  size_t FFrames;           // the ring's capacity in frames
  std::atomic<uint64_t> FHead{0}, FTail{0}, FLost{0};
  uint64_t FWritten = 0;
};

} // namespace zhost
