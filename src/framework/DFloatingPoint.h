// Runs plug-in code on the host's thread in a floating-point state of its own: rounding to
// nearest and every exception masked, so that a division by zero or an invalid operation gives
// an infinity or a NaN and never a trap, with denormal numbers either kept or, for the signal
// path, flushed to zero. Results then do not depend on the host's settings. The host's state,
// the flags it had raised included, is back when the object goes.
//
// Only the units that compiled code uses are switched: on x86 the SSE control register and
// the x87 control word (long double arithmetic runs there), on arm64 the FPCR. Both cost a few
// cycles, so the guard can wrap every block of audio.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#elif !defined(__aarch64__)
#include <cfenv>
#endif

enum class TDenormals { Kept, Flushed };
// The units a guard switches: all that compiled code uses, or only the one of float and double
// arithmetic, for code that runs inside a guard of all units and needs another denormal
// handling (on x86 the x87 unit is then left alone, which saves a few status reads).
enum class TUnits { All, Arithmetic };

class TMaskedFloatingPoint {
public:
  explicit TMaskedFloatingPoint(TDenormals denormals = TDenormals::Kept,
                                TUnits units = TUnits::All) noexcept;
  ~TMaskedFloatingPoint();
  TMaskedFloatingPoint(const TMaskedFloatingPoint&) = delete;
  TMaskedFloatingPoint& operator=(const TMaskedFloatingPoint&) = delete;

private:
#if defined(__x86_64__) || defined(__i386__)
  // SSE: the six exception masks, rounding to nearest; flushing adds flush-to-zero (results)
  // and denormals-are-zero (operands).
  static constexpr uint32_t kMaskedSSE = 0x1F80u, kFlushedSSE = 0x8040u;
  // x87: the six exception masks in the control word, the rounding field (nearest is 0), and
  // the exception flags with their summary in the status word.
  static constexpr uint16_t kMasksX87 = 0x003Fu, kRoundingX87 = 0x0C00u, kFlagsX87 = 0x00FFu;
  uint32_t FCallerSSE;
  uint16_t FCallerControl = 0, FCallerStatus = 0;
  bool FX87, FControlChanged = false;
#elif defined(__aarch64__)
  // FPCR: the trap enables (IOE DZE OFE UFE IXE IDE), the rounding mode field, flush-to-zero,
  // and the alternate behaviours AH and FIZ, which would change what flushing means.
  static constexpr uint64_t kTrapEnables = 0x9F00u, kRounding = 0xC00000u,
                            kFlushToZero = 0x1000000u, kAlternate = 0x3u;
  uint64_t FCallerFPCR, FCallerFPSR;
#else
  std::fenv_t FCaller;
#endif
};

#if defined(__x86_64__) || defined(__i386__)

inline TMaskedFloatingPoint::TMaskedFloatingPoint(TDenormals denormals, TUnits units) noexcept
    : FCallerSSE(_mm_getcsr()), FX87(units == TUnits::All) {
  _mm_setcsr(denormals == TDenormals::Flushed ? kMaskedSSE | kFlushedSSE : kMaskedSSE);
  if (!FX87)
    return;
  __asm__ volatile("fnstcw %0" : "=m"(FCallerControl));
  __asm__ volatile("fnstsw %0" : "=m"(FCallerStatus));
  const uint16_t control = static_cast<uint16_t>((FCallerControl & ~kRoundingX87) | kMasksX87);
  FControlChanged = control != FCallerControl;
  if (FControlChanged)
    __asm__ volatile("fldcw %0" : : "m"(control));
}

inline TMaskedFloatingPoint::~TMaskedFloatingPoint() {
  _mm_setcsr(FCallerSSE);
  if (!FX87)
    return;
  uint16_t status;
  __asm__ volatile("fnstsw %0" : "=m"(status));
  if ((status & kFlagsX87) != (FCallerStatus & kFlagsX87)) {
    // x87 code raised flags: put the caller's flags and control word back together, so that
    // a flag the caller unmasks cannot trap in the caller's next x87 instruction.
    struct {
      uint16_t control, unused0, status, unused1;
      uint32_t rest[5];
    } environment;
    __asm__ volatile("fnstenv %0" : "=m"(environment));
    environment.control = FCallerControl;
    environment.status =
        static_cast<uint16_t>((environment.status & ~kFlagsX87) | (FCallerStatus & kFlagsX87));
    __asm__ volatile("fldenv %0" : : "m"(environment));
  } else if (FControlChanged) {
    __asm__ volatile("fldcw %0" : : "m"(FCallerControl));
  }
}

#elif defined(__aarch64__)

inline TMaskedFloatingPoint::TMaskedFloatingPoint(TDenormals denormals, TUnits) noexcept {
  __asm__ volatile("mrs %0, fpcr" : "=r"(FCallerFPCR));
  __asm__ volatile("mrs %0, fpsr" : "=r"(FCallerFPSR));
  uint64_t fpcr = FCallerFPCR & ~(kTrapEnables | kRounding | kFlushToZero | kAlternate);
  if (denormals == TDenormals::Flushed)
    fpcr |= kFlushToZero;
  if (fpcr != FCallerFPCR)
    __asm__ volatile("msr fpcr, %0" : : "r"(fpcr));
}

inline TMaskedFloatingPoint::~TMaskedFloatingPoint() {
  uint64_t fpcr;
  __asm__ volatile("mrs %0, fpcr" : "=r"(fpcr));
  if (fpcr != FCallerFPCR)
    __asm__ volatile("msr fpcr, %0" : : "r"(FCallerFPCR));
  __asm__ volatile("msr fpsr, %0" : : "r"(FCallerFPSR));
}

#else

// Elsewhere the standard environment: exceptions masked and rounding to nearest; denormals
// stay as the processor handles them.
inline TMaskedFloatingPoint::TMaskedFloatingPoint(TDenormals, TUnits) noexcept {
  std::feholdexcept(&FCaller);
  std::fesetround(FE_TONEAREST);
}

inline TMaskedFloatingPoint::~TMaskedFloatingPoint() {
  std::fesetenv(&FCaller);
}

#endif
