// A straightforward scalar implementation of the feedback signal path: the twelve steps per
// sample, one channel after the other, on separate double-length channel buffers that are
// copied whole at every wrap. It is the yardstick for the optimised path, in speed (the
// benchmark runs both on the same input) and in results (which must agree bit for bit).
#pragma once

#include "framework/DRandom.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

class TBaselinePath {
public:
  static constexpr int kHalfLength = 2048;
  static constexpr int kBufferLength = 2 * kHalfLength;

  explicit TBaselinePath(uint32_t seed) : FState(seed) {
    for (int c = 0; c < 2; ++c) {
      FHistory[c].assign(kBufferLength, 0.0f);
      FFeedback[c].assign(kBufferLength, 0.0f);
    }
    FBlend[0] = 1.0f;
  }

  // Coefficients as the parameter mapping derives them.
  float Delay = 80.0f;
  float FeedbackGain = static_cast<float>(1.0 - (750.0 - 50.0) / 1111.0);
  float IdleFeed = 0.6f;
  float Drive = 1.5f;
  void SetBlend(const float* taps) { std::memcpy(FBlend, taps, sizeof FBlend); }

  // g++ 12 at -O2 pairs the two channels of step 5 into one vector operation and drops the
  // rounding of the delayed value to float on the way; the pairing stays off here.
#if defined(__GNUC__) && !defined(__clang__)
  [[gnu::optimize("no-tree-slp-vectorize")]]
#endif
  void
  Process(const float* in0, const float* in1, float* out0, float* out1, int frames) {
    const float* in[2] = {in0, in1};
    float* out[2] = {out0, out1};
    for (int i = 0; i < frames; ++i) {
      const int p = FWritePos;
      const float a = std::fabs(in0[i]);
      const float b = std::fabs(in1[i]);
      const float m = a > b ? a : b;
      if (m > FEnvelope)
        FEnvelope = m;
      else
        FEnvelope = static_cast<float>(FEnvelope * 0.999999);
      const double feed = FEnvelope < 0.00002 ? IdleFeed : 1.0;

      FState = FState * TRandomGenerator::kMultiplier + TRandomGenerator::kIncrement;
      const double r = FState / 4294967296.0;
      const float d = static_cast<float>(r * 0.2 + Delay - 0.1);
      const int k = static_cast<int>(d);
      const float w1 = static_cast<float>((k + 1) - double(d));
      const float w2 = static_cast<float>(double(d) - k);

      for (int c = 0; c < 2; ++c) {
        const float y = static_cast<float>(w1 * double(FFeedback[c][p + k]) + 1e-24 +
                                           w2 * double(FFeedback[c][p + k + 1]));
        FLowpass[c] = 0.5 * y + 0.5 * FLowpass[c];
      }
      for (int c = 0; c < 2; ++c) {
        out[c][i] = static_cast<float>(FeedbackGain * FLowpass[c] + in[c][i]);
        FHistory[c][p] = out[c][i];
      }
      for (int c = 0; c < 2; ++c) {
        double sum = 0.0;
        for (int j = 0; j < 16; ++j)
          sum += double(FHistory[c][p + j]) * FBlend[j];
        out[c][i] = static_cast<float>(sum);
      }
      for (int c = 0; c < 2; ++c) {
        const float s = static_cast<float>(Drive * double(out[c][i]));
        out[c][i] = static_cast<float>(SoftClip(s));
      }
      for (int c = 0; c < 2; ++c)
        FFeedback[c][p] = static_cast<float>(out[c][i] * feed);

      FWritePos = p - 1;
      if (FWritePos < 0) {
        FWritePos = kHalfLength - 1;
        for (int c = 0; c < 2; ++c)
          std::memcpy(&FHistory[c][kHalfLength], &FHistory[c][0], kHalfLength * sizeof(float));
        for (int c = 0; c < 2; ++c)
          std::memcpy(&FFeedback[c][kHalfLength], &FFeedback[c][0], kHalfLength * sizeof(float));
      }
    }
  }

  static double SoftClip(double x) {
    const double e = std::fabs(2.0 * x);
    const double p = e * (e * (e * (e + 3.0) + 6.0) + 12.0);
    const double q = p / (p + 24.0);
    return x < 0.0 ? -q : q;
  }

private:
  std::vector<float> FHistory[2], FFeedback[2];
  float FBlend[16] = {};
  int FWritePos = 0;
  double FLowpass[2] = {0.0, 0.0};
  float FEnvelope = 0.0f;
  uint32_t FState;
};
