// What play does on JACK's real-time thread: the plug-in's audio call on the ports' buffers,
// in blocks no longer than the plug-in was opened for, the output faded in and out, and the
// levels, the plug-in's share of each period and the xruns gathered for the status line. No
// allocation, lock or system call happens in Process; everything it needs is made by Use.
#pragma once

#include "Instance.h"
#include "Jack.h"
#include "PlayRecorder.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace zhost {

class PlayEngine {
public:
  // Registers the ports: in_1 and in_2 (in_1 only when mono), out_1 and out_2.
  PlayEngine(JackClient& jack, bool mono);

  // The plug-in processed from the next period on (null: silence), opened for blocks of at most
  // blockSize frames; returns once the audio thread has let go of the one before.
  void Use(Instance* plugin, int32_t blockSize);
  // Where each period's inputs and outputs are handed over from the next period on (null:
  // nowhere); returns once the audio thread has let go of the one before.
  void Record(PlayRecorder* recorder);
  // The process callback.
  int Process(jack_nframes_t frames);

  // The output's gain moves to 1 (in) or 0 (out) over this many seconds.
  void Fade(bool in, double seconds);
  // True once a fade out has reached silence.
  bool FadedOut() const { return FFadedOut.load(); }
  void CountXrun() { ++FXruns; }

  struct Levels {
    float inputPeak = 0.0f, outputPeak = 0.0f; // largest magnitude since the last reading
    float load = 0.0f;                         // largest share of a period the plug-in took
    uint32_t xruns = 0;                        // since the start
  };
  Levels TakeLevels();

  const std::vector<jack_port_t*>& Inputs() const { return FInputs; }
  const std::vector<jack_port_t*>& Outputs() const { return FOutputs; }

private:
  void Run(Instance& plugin, float* const* in, float* const* out, jack_nframes_t frames);
  void Release();

  JackClient& FJack;
  std::vector<jack_port_t*> FInputs, FOutputs;
  std::atomic<Instance*> FPlugin{nullptr};
  std::atomic<PlayRecorder*> FRecorder{nullptr};
  std::atomic<bool> FBusy{false};
  int32_t FBlock = 0;
  // The plug-in's channels beyond the ports', and the pointer lists of one block.
  std::vector<float> FSpare;
  std::vector<float*> FIn, FOut;
  float FGain = 0.0f;
  std::atomic<float> FTarget{0.0f};
  std::atomic<float> FStep{0.0f};
  std::atomic<bool> FFadedOut{false};
  std::atomic<float> FInputPeak{0.0f}, FOutputPeak{0.0f}, FLoad{0.0f};
  std::atomic<uint32_t> FXruns{0};
};

} // namespace zhost
