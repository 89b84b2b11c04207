// The NEON kernel of 64-bit ARM: the staged kernel with one frame's (left, right) in each
// 128-bit register.
//
// The signal path runs with denormals flushed (FPCR.FZ), which ARM applies to a result that is
// tiny before rounding; every rounding to a float therefore goes through ToFloats, which
// rounds the thin band below the smallest normal float up to it as x86 and the portable
// kernel do (FeedbackSteps.h). For the same reason products of two floats are formed in
// double precision, where they are exact, and rounded once.
#include "effect/FeedbackStages.h"

#include <arm_neon.h>

namespace {

struct TPairNEON {
  static constexpr int32_t kFrames = 1;
  float64x2_t v;

  TPairNEON() = default;
  TPairNEON(float64x2_t value) : v(value) {}
  TPairNEON(uint64x2_t mask) : v(vreinterpretq_f64_u64(mask)) {}
  explicit TPairNEON(double value) : v(vdupq_n_f64(value)) {}

  static TPairNEON Load(const double* p) { return vld1q_f64(p); }
  static void Store(double* p, TPairNEON x) { vst1q_f64(p, x.v); }
  // A vector of one frame.
  static TPairNEON Join(const TPairNEON* frames) { return frames[0]; }
  static TPairNEON LoadTap(const TFrame<double>& tap) { return Load(tap.data()); }

  uint64x2_t Bits() const { return vreinterpretq_u64_f64(v); }
  TPairNEON operator+(TPairNEON b) const { return vaddq_f64(v, b.v); }
  TPairNEON operator-(TPairNEON b) const { return vsubq_f64(v, b.v); }
  TPairNEON operator*(TPairNEON b) const { return vmulq_f64(v, b.v); }
  TPairNEON operator/(TPairNEON b) const { return vdivq_f64(v, b.v); }
  TPairNEON operator&(TPairNEON b) const { return vandq_u64(Bits(), b.Bits()); }
  TPairNEON operator|(TPairNEON b) const { return vorrq_u64(Bits(), b.Bits()); }
  TPairNEON operator^(TPairNEON b) const { return veorq_u64(Bits(), b.Bits()); }

  // a * b + c where the product is exact: the same number fused or not.
  static TPairNEON MulAdd(TPairNEON a, TPairNEON b, TPairNEON c) {
    return vfmaq_f64(c.v, a.v, b.v);
  }
  // a < b ? a : b, as C++ has it (b when either is NaN).
  static TPairNEON Min(TPairNEON a, TPairNEON b) {
    return vbslq_f64(vcltq_f64(a.v, b.v), a.v, b.v);
  }
  static TPairNEON Abs(TPairNEON x) { return vabsq_f64(x.v); }
  static TPairNEON Less(TPairNEON a, TPairNEON b) { return vcltq_f64(a.v, b.v); }
  static TPairNEON Greater(TPairNEON a, TPairNEON b) { return vcgtq_f64(a.v, b.v); }
  static TPairNEON NotEqual(TPairNEON a, TPairNEON b) {
    return vreinterpretq_u64_u32(vmvnq_u32(vreinterpretq_u32_u64(vceqq_f64(a.v, b.v))));
  }
  static TPairNEON Ordered(TPairNEON x) { return vceqq_f64(x.v, x.v); }
  static TPairNEON Select(TPairNEON mask, TPairNEON a, TPairNEON b) {
    return vbslq_f64(mask.Bits(), a.v, b.v);
  }
  static bool Any(TPairNEON mask) { return vmaxvq_u32(vreinterpretq_u32_u64(mask.Bits())) != 0; }

  static float32x2_t ToFloats(TPairNEON x) {
    const float64x2_t magnitude = vabsq_f64(x.v);
    const uint64x2_t band = vandq_u64(vcgeq_f64(magnitude, vdupq_n_f64(kRoundsToSmallestNormal)),
                                      vcltq_f64(magnitude, vdupq_n_f64(FLT_MIN)));
    const float64x2_t smallest =
        vbslq_f64(vdupq_n_u64(0x8000000000000000u), x.v, vdupq_n_f64(FLT_MIN));
    return vcvt_f32_f64(vbslq_f64(band, smallest, x.v));
  }
  static TPairNEON FromFloats(float32x2_t f) { return vcvt_f64_f32(f); }
  static TPairNEON Rounded(TPairNEON x) { return FromFloats(ToFloats(x)); }
  static float32x2_t FloatsOf(float x) { return vdup_n_f32(x); }
  static TPairNEON LoadFloats(const float* p) { return vcvt_f64_f32(vld1_f32(p)); }
  static void StoreFloats(float* p, float32x2_t f) { vst1_f32(p, f); }
  static float32x2_t MulRounded(float32x2_t a, float32x2_t b) {
    return ToFloats(vmulq_f64(vcvt_f64_f32(a), vcvt_f64_f32(b)));
  }

  // Per lane, state * multipliers[i] + increments[i] (mod 2^32) as a double.
  static TPairNEON FromDraws(const uint32_t* multipliers, const uint32_t* increments,
                             uint32_t state) {
    const uint32x2_t draws = vmla_n_u32(vld1_u32(increments), vld1_u32(multipliers), state);
    return vcvtq_f64_u64(vmovl_u32(draws));
  }
  static TPairNEON Truncated(TPairNEON x) { return vrndq_f64(x.v); }
  static void StoreWhole(int32_t* p, TPairNEON whole) {
    vst1_s32(p, vmovn_s64(vcvtq_s64_f64(whole.v)));
  }
  // Each lane twice.
  static void StoreDuplicated(double* p, TPairNEON x) {
    vst1q_f64(p, vdupq_laneq_f64(x.v, 0));
    vst1q_f64(p + 2, vdupq_laneq_f64(x.v, 1));
  }
  // The frames at[whole[0]] and at[whole[0] + 1], with one load.
  static void LoadFeedback(const TFrame<float>* at, const int32_t* whole, TPairNEON& first,
                           TPairNEON& second) {
    const float32x4_t both = vld1q_f32(at[whole[0]].data());
    first = vcvt_f64_f32(vget_low_f32(both));
    second = vcvt_high_f64_f32(both);
  }

  static float32x2_t LoadFeeds(const float* feed) { return vld1_dup_f32(feed); }
  static void StoreOutputs(float* out0, float* out1, float32x2_t out) {
    vst1_lane_f32(out0, out, 0);
    vst1_lane_f32(out1, out, 1);
  }
};

struct TQuadNEON {
  float32x4_t v;

  TQuadNEON() = default;
  TQuadNEON(float32x4_t value) : v(value) {}
  TQuadNEON(uint32x4_t mask) : v(vreinterpretq_f32_u32(mask)) {}
  explicit TQuadNEON(float value) : v(vdupq_n_f32(value)) {}

  static TQuadNEON Load(const float* p) { return vld1q_f32(p); }
  static void Store(float* p, TQuadNEON x) { vst1q_f32(p, x.v); }
  // (p[3], p[2], p[1], p[0]).
  static TQuadNEON LoadReversed(const float* p) {
    const float32x4_t x = vrev64q_f32(vld1q_f32(p));
    return vextq_f32(x, x, 2);
  }
  // The floats whose bit patterns are first, first + step, first + 2 step, first + 3 step.
  static TQuadNEON Steady(uint32_t first, uint32_t step) {
    const uint32_t steps[4] = {0, step, 2 * step, 3 * step};
    return vaddq_u32(vdupq_n_u32(first), vld1q_u32(steps));
  }

  static TQuadNEON AddToBits(TQuadNEON x, uint32_t n) {
    return vaddq_u32(x.Bits(), vdupq_n_u32(n));
  }

  uint32x4_t Bits() const { return vreinterpretq_u32_f32(v); }
  TQuadNEON operator|(TQuadNEON b) const { return vorrq_u32(Bits(), b.Bits()); }
  static TQuadNEON Less(TQuadNEON a, TQuadNEON b) { return vcltq_f32(a.v, b.v); }
  static TQuadNEON Greater(TQuadNEON a, TQuadNEON b) { return vcgtq_f32(a.v, b.v); }
  static TQuadNEON Select(TQuadNEON mask, TQuadNEON a, TQuadNEON b) {
    return vbslq_f32(mask.Bits(), a.v, b.v);
  }
  static bool Any(TQuadNEON mask) { return vmaxvq_u32(mask.Bits()) != 0; }

  static TQuadNEON Finite(TQuadNEON x) {
    const uint32x4_t finite = vceqq_f32(vsubq_f32(x.v, x.v), vdupq_n_f32(0.0f));
    return vreinterpretq_f32_u32(vandq_u32(vreinterpretq_u32_f32(x.v), finite));
  }
  static TQuadNEON Level(TQuadNEON a, TQuadNEON b) {
    const float32x4_t m = vmaxq_f32(vabsq_f32(a.v), vabsq_f32(b.v));
    const uint32x4_t normal = vcgeq_f32(m, vdupq_n_f32(FLT_MIN));
    return vreinterpretq_f32_u32(vandq_u32(vreinterpretq_u32_f32(m), normal));
  }
  static void StoreInterleaved(float* p, TQuadNEON a, TQuadNEON b) {
    vst2q_f32(p, (float32x4x2_t{{a.v, b.v}}));
  }
};

struct TNEON {
  using Wide = TPairNEON;
  using Pair = TPairNEON;
  using Quad = TQuadNEON;
  static constexpr int kGroup = 8;
};

} // namespace

void RunFramesNEON(TFrameRun& run) {
  TStagedFrames<TNEON>::Run(run);
}
