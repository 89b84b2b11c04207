#include "effect/FeedbackKernels.h"

#include <cstdlib>
#include <cstring>

std::vector<TKernel> KernelsFor(const TCPU& cpu) {
  std::vector<TKernel> kernels{TKernel::Portable};
#if defined(__x86_64__) || defined(__i386__)
  if (cpu.Instructions().Contains(isSSE2)) {
    kernels.push_back(TKernel::SSE2);
    if (cpu.VectorUnits().Contains(vuAVX2) && cpu.VectorUnits().Contains(vuFMA))
      kernels.push_back(TKernel::AVX2);
  }
#elif defined(__aarch64__)
  if (cpu.VectorUnits().Contains(vuNEON))
    kernels.push_back(TKernel::NEON);
#else
  (void)cpu;
#endif
  return kernels;
}

TKernel PreferredKernel(const TCPU& cpu) {
  const char* portable = std::getenv("ZINTRAX_PORTABLE_KERNEL");
  if (portable && *portable && std::strcmp(portable, "0") != 0)
    return TKernel::Portable;
  return KernelsFor(cpu).back();
}

TKernelFunction KernelFunction(TKernel kernel) {
  switch (kernel) {
#if defined(__x86_64__) || defined(__i386__)
  case TKernel::SSE2:
    return RunFramesSSE2;
  case TKernel::AVX2:
    return RunFramesAVX2;
#elif defined(__aarch64__)
  case TKernel::NEON:
    return RunFramesNEON;
#endif
  default:
    return RunFramesPortable;
  }
}

const char* KernelName(TKernel kernel) {
  switch (kernel) {
  case TKernel::SSE2:
    return "SSE2";
  case TKernel::AVX2:
    return "AVX2";
  case TKernel::NEON:
    return "NEON";
  default:
    return "portable";
  }
}
