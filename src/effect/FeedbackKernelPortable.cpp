// The portable kernel: the signal path in plain C++, frame by frame, in the order of its
// steps. It runs on any processor and is the reference for the vector kernels.
//
// Buffer layout: the frame at write index p is the current one, and the frame written j
// frames earlier is found at p + j. Step 12, the advance of the write index and the wrap of
// the buffers at index 0, is the caller's (TFeedbackPath::Process): a run ends at index 0.
#include "effect/FeedbackKernels.h"
#include "effect/FeedbackSteps.h"

void RunFramesPortable(TFrameRun& run) {
  for (int32_t i = 0; i < run.Frames; ++i) {
    const int32_t p = run.WritePos - i;

    // 1. Input level. Both inputs are read before any output is written, so the outputs may
    // be the inputs.
    const float in[2] = {Finite(run.In[0][i]), Finite(run.In[1][i])};
    const float a = std::fabs(in[0]), b = std::fabs(in[1]);

    // 2. Envelope.
    const float m = a > b ? a : b;
    run.Envelope = m > run.Envelope ? m : Decayed(run.Envelope);

    // 3. Store factor.
    const double feed = run.Envelope < kQuietLevel ? run.IdleFeed : 1.0;

    // 4. Wobbling delay.
    const double r = run.Random.Next();
    const float d = ToFloat(r * kDelaySpan + run.Delay - kDelayCentre);
    const int32_t k = static_cast<int32_t>(d);
    const float w1 = ToFloat((k + 1) - double(d));
    const float w2 = ToFloat(double(d) - k);

    float out[2];
    for (int c = 0; c < 2; ++c) {
      // 5. Delayed feedback.
      const float y = ToFloat(w1 * double(run.Feedback[p + k][c]) + kDelayedOffset +
                              w2 * double(run.Feedback[p + k + 1][c]));

      // 6. Low-pass.
      run.Lowpass[c] = 0.5 * y + 0.5 * run.Lowpass[c];

      // 7. Mix, 8. history.
      out[c] = ToFloat(run.FeedbackGain * run.Lowpass[c] + in[c]);
      run.History[p][c] = out[c];
    }

    for (int c = 0; c < 2; ++c) {
      // 9. Cabinet: the first taps of the blend over the history from p on.
      double sum = 0.0;
      for (int j = 0; j < kFilterTaps; ++j)
        sum += run.History[p + j][c] * run.Taps[j][c];
      out[c] = ToFloat(sum);

      // 10. Saturation.
      const float s = ToFloat(double(run.Drive) * out[c]);
      out[c] = ToFloat(SoftClip(s));
      run.Out[c][i] = out[c];

      // 11. Feedback store.
      run.Feedback[p][c] = ToFloat(out[c] * feed);
    }
  }
}
