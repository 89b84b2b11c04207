#include "Progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zhost {

namespace {

constexpr int kWidth = 40;
constexpr auto kInterval = std::chrono::milliseconds(100);

} // namespace

Progress::Progress(int64_t total, double seconds)
    : FTotal(total), FEnabled(Wanted(seconds, isatty(STDERR_FILENO) != 0)) {}

Progress::~Progress() {
  if (FDrawn)
    std::fputc('\n', stderr);
}

void Progress::Finish() {
  if (FEnabled)
    Draw(FTotal);
}

void Progress::Update(int64_t done) {
  if (!FEnabled)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (FDrawn && now - FLastDraw < kInterval)
    return;
  FLastDraw = now;
  Draw(done);
}

void Progress::Draw(int64_t done) {
  const double fraction = FTotal > 0 ? static_cast<double>(done) / FTotal : 1.0;
  const int filled = static_cast<int>(fraction * kWidth);
  const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '-');
  std::fprintf(stderr, "\rrendering [%s] %3d%%", bar.c_str(), static_cast<int>(fraction * 100));
  std::fflush(stderr);
  FDrawn = true;
}

} // namespace zhost
