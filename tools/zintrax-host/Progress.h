// A progress bar on standard error, drawn only on a terminal and only for renders long enough
// to be worth watching.
#pragma once

#include <chrono>
#include <cstdint>

namespace zhost {

class Progress {
public:
  // total: frames to render; seconds: how long they last at the render's sample rate.
  Progress(int64_t total, double seconds);
  ~Progress(); // ends the bar's line if it was drawn

  void Update(int64_t done);
  void Finish(); // shows the completed bar
  bool Shown() const { return FEnabled; }

  // Whether a render of this length on this standard error gets a bar.
  static bool Wanted(double seconds, bool terminal) { return terminal && seconds > 1.0; }

private:
  void Draw(int64_t done);

  int64_t FTotal;
  bool FEnabled;
  bool FDrawn = false;
  std::chrono::steady_clock::time_point FLastDraw{};
};

} // namespace zhost
