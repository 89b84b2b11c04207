// The per-sample loop of the feedback signal path over a run of frames that does not pass a
// wrap of the write index, in two builds: one for SSE2 (every x86-64 processor) and one
// that also uses 256-bit AVX2 registers, two frames in each, where the processor has them.
// Both give exactly the same samples.
#pragma once

#include <cstdint>

struct TFrameRun {
  const float* In0;
  const float* In1;
  float* Out0;
  float* Out1;
  int32_t Frames;
  int32_t WritePos;   // index of the first frame; the others follow downward
  double* History;    // frame pairs (left, right)
  float* Feedback;    // frame pairs (left, right)
  const double* Taps; // taps 0 to 15 of the blend, each as a pair
  float Delay;        // within the range that keeps every read inside the buffers
  float FeedbackGain;
  float IdleFeed; // finite
  float Drive;
  // Carried from run to run.
  double LowpassLeft, LowpassRight;
  float Envelope;
  uint32_t RandomState;
};

void RunFramesNarrow(TFrameRun& run);
void RunFramesWide(TFrameRun& run);
bool WideFramesAvailable();
