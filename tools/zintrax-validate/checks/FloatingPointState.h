// The caller's floating-point control state on x86: the SSE control and status register and the
// x87 control word. A plug-in may change them inside a call but must give them back.
#pragma once

#include <cstdint>

namespace zhost::validate {

#if defined(__x86_64__) || defined(__i386__)
constexpr bool kHasFloatingPointState = true;
// Flush-to-zero and denormals-are-zero.
constexpr uint32_t kMxcsrFlushBits = 0x8040u;
// The exception flags, which calls may raise without changing the control state.
constexpr uint32_t kMxcsrFlagBits = 0x003Fu;

inline uint32_t ReadMxcsr() {
  uint32_t value;
  __asm__ volatile("stmxcsr %0" : "=m"(value));
  return value;
}
inline void WriteMxcsr(uint32_t value) {
  __asm__ volatile("ldmxcsr %0" : : "m"(value));
}
inline uint16_t ReadX87Control() {
  uint16_t value;
  __asm__ volatile("fnstcw %0" : "=m"(value));
  return value;
}
inline void WriteX87Control(uint16_t value) {
  __asm__ volatile("fldcw %0" : : "m"(value));
}
#else
constexpr bool kHasFloatingPointState = false;
constexpr uint32_t kMxcsrFlushBits = 0;
constexpr uint32_t kMxcsrFlagBits = 0;
inline uint32_t ReadMxcsr() {
  return 0;
}
inline void WriteMxcsr(uint32_t) {}
inline uint16_t ReadX87Control() {
  return 0;
}
inline void WriteX87Control(uint16_t) {}
#endif

struct FloatingPointState {
  uint32_t mxcsr = 0; // without the exception flags
  uint16_t x87 = 0;

  static FloatingPointState Read() { return {ReadMxcsr() & ~kMxcsrFlagBits, ReadX87Control()}; }
  void Write() const {
    WriteMxcsr(mxcsr);
    WriteX87Control(x87);
  }
  bool operator==(const FloatingPointState&) const = default;
};

} // namespace zhost::validate
