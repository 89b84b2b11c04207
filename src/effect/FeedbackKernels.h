// The kernels of the feedback signal path: each runs the per-sample steps over a run of frames
// that does not pass a wrap of the write index. The portable kernel is plain C++ and the
// reference; the vector kernels (SSE2, and AVX2 with FMA, on x86; NEON on 64-bit ARM) give
// exactly its samples, bit for bit, for every input.
#pragma once

#include "framework/DCPU.h"
#include "framework/DRandom.h"

#include <cstdint>
#include <vector>

// Taps of the blend that reach the output.
inline constexpr int kFilterTaps = 16;

// Both channels of one frame, left first; a frame of doubles fills a 16-byte vector.
template <class T> struct alignas(2 * sizeof(T)) TFrame {
  T Channel[2];
  T& operator[](int c) { return Channel[c]; }
  const T& operator[](int c) const { return Channel[c]; }
  T* data() { return Channel; }
  const T* data() const { return Channel; }
};

struct TFrameRun {
  const float* In[2];
  float* Out[2];
  int32_t Frames;
  int32_t WritePos;           // index of the first frame; the others follow downward
  TFrame<double>* History;    // the mixed signal, exactly its 32-bit values
  TFrame<float>* Feedback;    // what is stored to return later
  const TFrame<double>* Taps; // taps 0 to kFilterTaps - 1 of the blend, each for both channels
  float Delay;                // within the range that keeps every read inside the buffers
  float FeedbackGain;
  float IdleFeed; // finite
  float Drive;
  // Carried from run to run.
  TFrame<double> Lowpass;
  float Envelope;
  TRandomGenerator Random;
};

enum class TKernel : uint8_t { Portable, SSE2, AVX2, NEON };

using TKernelFunction = void (*)(TFrameRun& run);

// The kernels this build has that the processor runs, the portable one first.
std::vector<TKernel> KernelsFor(const TCPU& cpu);
// The last of KernelsFor, or the portable kernel when the environment variable
// ZINTRAX_PORTABLE_KERNEL is set to anything but "" or "0".
TKernel PreferredKernel(const TCPU& cpu);
TKernelFunction KernelFunction(TKernel kernel);
const char* KernelName(TKernel kernel);

void RunFramesPortable(TFrameRun& run);
#if defined(__x86_64__) || defined(__i386__)
void RunFramesSSE2(TFrameRun& run);
void RunFramesAVX2(TFrameRun& run);
#elif defined(__aarch64__)
void RunFramesNEON(TFrameRun& run);
#endif
