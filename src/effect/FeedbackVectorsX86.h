// 128-bit vectors of x86 (SSE2) for the staged kernels (FeedbackStages.h): a pair of doubles,
// one frame's (left, right), and four floats. The SSE2 kernel uses them alone; the AVX2 kernel
// uses them, compiled for AVX2, for the frames that do not fill a 256-bit vector. Internal
// linkage keeps the two compilations apart.
#pragma once

#include "effect/FeedbackKernels.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

#include <emmintrin.h>

namespace {

struct TPairSSE2 {
  static constexpr int32_t kFrames = 1;
  __m128d v;

  TPairSSE2() = default;
  TPairSSE2(__m128d value) : v(value) {}
  explicit TPairSSE2(double value) : v(_mm_set1_pd(value)) {}

  static TPairSSE2 Load(const double* p) { return _mm_load_pd(p); }
  static void Store(double* p, TPairSSE2 x) { _mm_store_pd(p, x.v); }
  // A vector of one frame.
  static TPairSSE2 Join(const TPairSSE2* frames) { return frames[0]; }
  static TPairSSE2 LoadTap(const TFrame<double>& tap) { return Load(tap.data()); }

  TPairSSE2 operator+(TPairSSE2 b) const { return _mm_add_pd(v, b.v); }
  TPairSSE2 operator-(TPairSSE2 b) const { return _mm_sub_pd(v, b.v); }
  TPairSSE2 operator*(TPairSSE2 b) const { return _mm_mul_pd(v, b.v); }
  TPairSSE2 operator/(TPairSSE2 b) const { return _mm_div_pd(v, b.v); }
  TPairSSE2 operator&(TPairSSE2 b) const { return _mm_and_pd(v, b.v); }
  TPairSSE2 operator|(TPairSSE2 b) const { return _mm_or_pd(v, b.v); }
  TPairSSE2 operator^(TPairSSE2 b) const { return _mm_xor_pd(v, b.v); }

  // a * b + c where the product is exact: the same number fused or not.
  static TPairSSE2 MulAdd(TPairSSE2 a, TPairSSE2 b, TPairSSE2 c) { return a * b + c; }
  // a < b ? a : b, as C++ has it (b when either is NaN).
  static TPairSSE2 Min(TPairSSE2 a, TPairSSE2 b) { return _mm_min_pd(a.v, b.v); }
  static TPairSSE2 Abs(TPairSSE2 x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x.v); }
  static TPairSSE2 Less(TPairSSE2 a, TPairSSE2 b) { return _mm_cmplt_pd(a.v, b.v); }
  static TPairSSE2 Greater(TPairSSE2 a, TPairSSE2 b) { return _mm_cmpgt_pd(a.v, b.v); }
  static TPairSSE2 NotEqual(TPairSSE2 a, TPairSSE2 b) { return _mm_cmpneq_pd(a.v, b.v); }
  static TPairSSE2 Ordered(TPairSSE2 x) { return _mm_cmpord_pd(x.v, x.v); }
  static TPairSSE2 Select(TPairSSE2 mask, TPairSSE2 a, TPairSSE2 b) {
    return _mm_or_pd(_mm_and_pd(mask.v, a.v), _mm_andnot_pd(mask.v, b.v));
  }
  static bool Any(TPairSSE2 mask) { return _mm_movemask_pd(mask.v) != 0; }

  // Floats: the two lanes' values rounded to 32-bit floats, in the low half of a register.
  static __m128 ToFloats(TPairSSE2 x) { return _mm_cvtpd_ps(x.v); }
  static TPairSSE2 FromFloats(__m128 f) { return _mm_cvtps_pd(f); }
  static TPairSSE2 Rounded(TPairSSE2 x) { return FromFloats(ToFloats(x)); }
  static __m128 FloatsOf(float x) { return _mm_set1_ps(x); }
  // Two floats move as the bits of one double, which keeps them among floating-point
  // instructions (std::memcpy, since the memory holds floats).
  static TPairSSE2 LoadFloats(const float* p) {
    double bits;
    std::memcpy(&bits, p, sizeof bits);
    return _mm_cvtps_pd(_mm_castpd_ps(_mm_set_sd(bits)));
  }
  static void StoreFloats(float* p, __m128 f) {
    const double bits = _mm_cvtsd_f64(_mm_castps_pd(f));
    std::memcpy(p, &bits, sizeof bits);
  }
  // The product of two floats rounded to a float: exact before the rounding, as in double.
  static __m128 MulRounded(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }

  // Per lane, state * multipliers[i] + increments[i] (mod 2^32) as a double.
  static TPairSSE2 FromDraws(const uint32_t* multipliers, const uint32_t* increments,
                             uint32_t state) {
    const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(multipliers));
    const __m128i products = _mm_mul_epu32(_mm_unpacklo_epi32(pair, _mm_setzero_si128()),
                                           _mm_set1_epi32(int32_t(state)));
    const __m128i draws =
        _mm_add_epi32(_mm_shuffle_epi32(products, _MM_SHUFFLE(3, 1, 2, 0)),
                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(increments)));
    const __m128i flipped = _mm_xor_si128(draws, _mm_set1_epi32(int32_t(0x80000000u)));
    return _mm_add_pd(_mm_cvtepi32_pd(flipped), _mm_set1_pd(2147483648.0));
  }
  static TPairSSE2 Truncated(TPairSSE2 x) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(x.v)); }
  static void StoreWhole(int32_t* p, TPairSSE2 whole) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_cvttpd_epi32(whole.v));
  }
  // Each lane twice.
  static void StoreDuplicated(double* p, TPairSSE2 x) {
    _mm_storeu_pd(p, _mm_unpacklo_pd(x.v, x.v));
    _mm_storeu_pd(p + 2, _mm_unpackhi_pd(x.v, x.v));
  }
  // The frames at[whole[0]] and at[whole[0] + 1], with one load.
  static void LoadFeedback(const TFrame<float>* at, const int32_t* whole, TPairSSE2& first,
                           TPairSSE2& second) {
    const __m128 both = _mm_loadu_ps(at[whole[0]].data());
    first = _mm_cvtps_pd(both);
    second = _mm_cvtps_pd(_mm_movehl_ps(both, both));
  }

  // The frame's store factor for both channels.
  static __m128 LoadFeeds(const float* feed) { return _mm_set1_ps(*feed); }
  static void StoreOutputs(float* out0, float* out1, __m128 out) {
    _mm_store_ss(out0, out);
    _mm_store_ss(out1, _mm_shuffle_ps(out, out, _MM_SHUFFLE(1, 1, 1, 1)));
  }
};

struct TQuadSSE2 {
  __m128 v;

  TQuadSSE2() = default;
  TQuadSSE2(__m128 value) : v(value) {}
  explicit TQuadSSE2(float value) : v(_mm_set1_ps(value)) {}

  static TQuadSSE2 Load(const float* p) { return _mm_loadu_ps(p); }
  static void Store(float* p, TQuadSSE2 x) { _mm_storeu_ps(p, x.v); }
  // (p[3], p[2], p[1], p[0]).
  static TQuadSSE2 LoadReversed(const float* p) {
    const __m128 x = _mm_loadu_ps(p);
    return _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 1, 2, 3));
  }
  // The floats whose bit patterns are first, first + step, first + 2 step, first + 3 step.
  static TQuadSSE2 Steady(uint32_t first, uint32_t step) {
    const __m128i steps = _mm_set_epi32(int32_t(3 * step), int32_t(2 * step), int32_t(step), 0);
    return _mm_castsi128_ps(_mm_add_epi32(_mm_set1_epi32(int32_t(first)), steps));
  }

  static TQuadSSE2 AddToBits(TQuadSSE2 x, uint32_t n) {
    return _mm_castsi128_ps(_mm_add_epi32(_mm_castps_si128(x.v), _mm_set1_epi32(int32_t(n))));
  }

  TQuadSSE2 operator|(TQuadSSE2 b) const { return _mm_or_ps(v, b.v); }
  static TQuadSSE2 Less(TQuadSSE2 a, TQuadSSE2 b) { return _mm_cmplt_ps(a.v, b.v); }
  static TQuadSSE2 Greater(TQuadSSE2 a, TQuadSSE2 b) { return _mm_cmpgt_ps(a.v, b.v); }
  static TQuadSSE2 Select(TQuadSSE2 mask, TQuadSSE2 a, TQuadSSE2 b) {
    return _mm_or_ps(_mm_and_ps(mask.v, a.v), _mm_andnot_ps(mask.v, b.v));
  }
  static bool Any(TQuadSSE2 mask) { return _mm_movemask_ps(mask.v) != 0; }

  // A lane that is not finite becomes 0.
  static TQuadSSE2 Finite(TQuadSSE2 x) {
    return _mm_and_ps(x.v, _mm_cmpeq_ps(_mm_sub_ps(x.v, x.v), _mm_setzero_ps()));
  }
  // The larger magnitude of a and b, 0 where it is denormal.
  static TQuadSSE2 Level(TQuadSSE2 a, TQuadSSE2 b) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 m = _mm_max_ps(_mm_andnot_ps(sign, a.v), _mm_andnot_ps(sign, b.v));
    return _mm_and_ps(m, _mm_cmpge_ps(m, _mm_set1_ps(FLT_MIN)));
  }
  // (a0, b0, a1, b1, ...) into eight floats.
  static void StoreInterleaved(float* p, TQuadSSE2 a, TQuadSSE2 b) {
    _mm_storeu_ps(p, _mm_unpacklo_ps(a.v, b.v));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(a.v, b.v));
  }
};

} // namespace
