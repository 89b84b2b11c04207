// Deliberate faults that the validator's test plug-ins of every format share.
#pragma once

#include <pthread.h>
#include <unistd.h>

#include <clocale>
#include <cstddef>

namespace faults {

// Numbers with a decimal point for the plug-in, and for the host too from now on.
inline void ChangeLocale() {
  std::setlocale(LC_NUMERIC, "C.UTF-8");
}

// A vector loop that rounds the frame count up to whole vectors of four and reads them all: up
// to three samples read past the end of the input, which most hosts' buffers happen to allow.
inline float ReadRoundedUp(const float* input, long frames) {
  volatile float sum = 0.0f;
  for (long n = 0; n < (frames + 3) / 4 * 4; ++n)
    sum = sum + input[n];
  return sum;
}

// A megabyte of scratch on the stack of whatever thread processes: nothing to a main thread's
// 8 MiB, more than the audio threads of many hosts have.
inline float UseMegabyteOfStack() {
  constexpr std::size_t kFloats = 256 * 1024;
  volatile float scratch[kFloats];
  for (std::size_t i = 0; i < kFloats; i += 1024)
    scratch[i] = float(i);
  return scratch[1024];
}

// A worker nobody stops.
inline void LeaveThreadRunning() {
  pthread_t worker;
  if (pthread_create(
          &worker, nullptr,
          [](void*) -> void* {
            for (;;)
              pause();
          },
          nullptr) == 0)
    pthread_detach(worker);
}

// An allocation and its release on the calling thread.
inline void Allocate(size_t floats) {
  float* scratch = new float[floats > 0 ? floats : 1];
  __asm__ volatile("" : : "r"(scratch) : "memory");
  delete[] scratch;
}

// Flush-to-zero and denormals-are-zero, never set back.
inline void SetFlushToZero() {
  unsigned mxcsr;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  mxcsr |= 0x8040u;
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// What a test plug-in's build breaks when an instance is made: the locale (FAULT_LOCALE), a
// thread left running (FAULT_THREAD_LEFT).
inline void OnInstanceMade() {
#ifdef FAULT_LOCALE
  ChangeLocale();
#endif
#ifdef FAULT_THREAD_LEFT
  LeaveThreadRunning();
#endif
}

} // namespace faults
