// The AVX2 kernel: the staged kernel with two frames in each 256-bit register, and fused
// multiply-adds where a product is exact (processors with AVX2 and FMA).
//
// Only this file's own functions are compiled for AVX2 and FMA, so that no copy of a function
// shared with the rest of the program (an inline function of a header, a template of the standard
// library) can carry AVX2 instructions to a processor without them: every header outside the
// kernel is included before the region that asks for AVX2.
#include "effect/FeedbackKernels.h"
#include "effect/FeedbackSteps.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

#include "effect/FeedbackStages.h"
#include "effect/FeedbackVectorsX86.h"

namespace {

// Two frames, each as (left, right): the newer frame in the lower half, which is also their
// order in the buffers.
struct TWideAVX2 {
  static constexpr int32_t kFrames = 2;
  __m256d v;

  TWideAVX2() = default;
  TWideAVX2(__m256d value) : v(value) {}
  explicit TWideAVX2(double value) : v(_mm256_set1_pd(value)) {}

  static TWideAVX2 Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, TWideAVX2 x) { _mm256_storeu_pd(p, x.v); }
  // The vector of frames[0] (newer) and frames[1].
  static TWideAVX2 Join(const TPairSSE2* frames) {
    return _mm256_set_m128d(frames[1].v, frames[0].v);
  }
  static TWideAVX2 LoadTap(const TFrame<double>& tap) {
    return _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(tap.data()));
  }

  TWideAVX2 operator+(TWideAVX2 b) const { return _mm256_add_pd(v, b.v); }
  TWideAVX2 operator-(TWideAVX2 b) const { return _mm256_sub_pd(v, b.v); }
  TWideAVX2 operator*(TWideAVX2 b) const { return _mm256_mul_pd(v, b.v); }
  TWideAVX2 operator/(TWideAVX2 b) const { return _mm256_div_pd(v, b.v); }
  TWideAVX2 operator&(TWideAVX2 b) const { return _mm256_and_pd(v, b.v); }
  TWideAVX2 operator|(TWideAVX2 b) const { return _mm256_or_pd(v, b.v); }
  TWideAVX2 operator^(TWideAVX2 b) const { return _mm256_xor_pd(v, b.v); }

  static TWideAVX2 MulAdd(TWideAVX2 a, TWideAVX2 b, TWideAVX2 c) {
    return _mm256_fmadd_pd(a.v, b.v, c.v);
  }
  static TWideAVX2 Min(TWideAVX2 a, TWideAVX2 b) { return _mm256_min_pd(a.v, b.v); }
  static TWideAVX2 Abs(TWideAVX2 x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x.v); }
  static TWideAVX2 Less(TWideAVX2 a, TWideAVX2 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ); }
  static TWideAVX2 Greater(TWideAVX2 a, TWideAVX2 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ); }
  static TWideAVX2 NotEqual(TWideAVX2 a, TWideAVX2 b) {
    return _mm256_cmp_pd(a.v, b.v, _CMP_NEQ_UQ);
  }
  static TWideAVX2 Ordered(TWideAVX2 x) { return _mm256_cmp_pd(x.v, x.v, _CMP_ORD_Q); }
  static TWideAVX2 Select(TWideAVX2 mask, TWideAVX2 a, TWideAVX2 b) {
    return _mm256_blendv_pd(b.v, a.v, mask.v);
  }
  static bool Any(TWideAVX2 mask) { return _mm256_movemask_pd(mask.v) != 0; }

  static __m128 ToFloats(TWideAVX2 x) { return _mm256_cvtpd_ps(x.v); }
  static TWideAVX2 FromFloats(__m128 f) { return _mm256_cvtps_pd(f); }
  static TWideAVX2 Rounded(TWideAVX2 x) { return FromFloats(ToFloats(x)); }
  static __m128 FloatsOf(float x) { return _mm_set1_ps(x); }
  static TWideAVX2 LoadFloats(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  static void StoreFloats(float* p, __m128 f) { _mm_storeu_ps(p, f); }
  static __m128 MulRounded(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }

  // The draws of frames m, m + 2, m + 1, m + 3 in this order, which StoreWhole and
  // StoreDuplicated undo with shuffles that stay within 128-bit halves.
  static TWideAVX2 FromDraws(const uint32_t* multipliers, const uint32_t* increments,
                             uint32_t state) {
    const __m128i draws = _mm_add_epi32(
        _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers)),
                        _mm_set1_epi32(int32_t(state))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(increments)));
    const __m128i flipped = _mm_xor_si128(_mm_shuffle_epi32(draws, _MM_SHUFFLE(3, 1, 2, 0)),
                                          _mm_set1_epi32(int32_t(0x80000000u)));
    return _mm256_add_pd(_mm256_cvtepi32_pd(flipped), _mm256_set1_pd(2147483648.0));
  }
  static TWideAVX2 Truncated(TWideAVX2 x) {
    return _mm256_round_pd(x.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
  }
  static void StoreWhole(int32_t* p, TWideAVX2 whole) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_shuffle_epi32(_mm256_cvttpd_epi32(whole.v), _MM_SHUFFLE(3, 1, 2, 0)));
  }
  static void StoreDuplicated(double* p, TWideAVX2 x) {
    _mm256_storeu_pd(p, _mm256_unpacklo_pd(x.v, x.v));
    _mm256_storeu_pd(p + 4, _mm256_unpackhi_pd(x.v, x.v));
  }
  // Frame i from at[i + whole[i]] (first) and the frame after it (second), with one load for
  // each i.
  static void LoadFeedback(const TFrame<float>* at, const int32_t* whole, TWideAVX2& first,
                           TWideAVX2& second) {
    const __m128d newer = _mm_loadu_pd(reinterpret_cast<const double*>(&at[whole[0]]));
    const __m128d older = _mm_loadu_pd(reinterpret_cast<const double*>(&at[1 + whole[1]]));
    first = _mm256_cvtps_pd(_mm_castpd_ps(_mm_unpacklo_pd(newer, older)));
    second = _mm256_cvtps_pd(_mm_castpd_ps(_mm_unpackhi_pd(newer, older)));
  }
  // From the store factors of frames m and m + 1: (f0, f0, f1, f1).
  static __m128 LoadFeeds(const float* feeds) {
    const __m128 f = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(feeds)));
    return _mm_unpacklo_ps(f, f);
  }
  // From (L1, R1, L0, R0) to L0 L1 and R0 R1.
  static void StoreOutputs(float* out0, float* out1, __m128 out) {
    const __m128 channels = _mm_shuffle_ps(out, out, _MM_SHUFFLE(1, 3, 0, 2));
    _mm_storel_pi(reinterpret_cast<__m64*>(out0), channels);
    _mm_storeh_pi(reinterpret_cast<__m64*>(out1), channels);
  }
};

struct TAVX2 {
  using Wide = TWideAVX2;
  using Pair = TPairSSE2;
  using Quad = TQuadSSE2;
  static constexpr int kGroup = 4;
};

} // namespace

void RunFramesAVX2(TFrameRun& run) {
  TStagedFrames<TAVX2>::Run(run);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
