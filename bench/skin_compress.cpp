// Throughput of the two image compressors, both directions, on skin-like images: a 71 x 68
// knob face (disc shaded in bands on a transparent black surround) and a 300 x 225 background
// (gradient with film-grain noise). Bytes processed are raw-form bytes.
#include "skin/DIBLZH.h"
#include "skin/cDIBData.h"
#include "skin/cDIBStandardCompressors.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes KnobFace() {
  const int w = 71, h = 68;
  Bytes px(size_t(w) * h * 4, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = x - w / 2.0, dy = y - h / 2.0, r = std::sqrt(dx * dx + dy * dy);
      if (r > 32)
        continue; // transparent black surround
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      const double light = 0.55 + 0.45 * (-dx - dy) / 46.0;
      // Artwork shading comes in bands of a few grey levels.
      const int band = int(std::clamp(light, 0.0, 1.0) * 8);
      const uint8_t grey = uint8_t(40 + band * 24);
      p[0] = grey;
      p[1] = grey;
      p[2] = uint8_t(std::min(255, grey + 12));
      p[3] = 255;
    }
  return EncodeDIBData(w, h, px.data(), nullptr);
}

Bytes Background() {
  const int w = 300, h = 225;
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> grain(-6, 6);
  Bytes px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t(y) * w + x) * 4];
      const int base = 120 + (x + y) / 8;
      p[0] = uint8_t(std::clamp(base - 40 + grain(gen), 0, 255));
      p[1] = uint8_t(std::clamp(base - 10 + grain(gen), 0, 255));
      p[2] = uint8_t(std::clamp(base + grain(gen), 0, 255));
      p[3] = 255;
    }
  return EncodeDIBData(w, h, px.data(), nullptr);
}

const Bytes& Image(int which) {
  static const Bytes knob = KnobFace();
  static const Bytes background = Background();
  return which == 0 ? knob : background;
}

TAbstractDIBCompressor& Compressor(int which) {
  static TRLEDIBCompressor rle;
  static TLZHDIBCompressor lzh;
  return which == 0 ? static_cast<TAbstractDIBCompressor&>(rle) : lzh;
}

void SetLabels(benchmark::State& state, size_t packed) {
  const Bytes& raw = Image(int(state.range(1)));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(raw.size()));
  state.SetLabel(std::string(state.range(0) == 0 ? "rle " : "lzh ") +
                 (state.range(1) == 0 ? "knob 71x68" : "background 300x225"));
  state.counters["stored%"] =
      packed ? 100.0 * double(packed) / double(raw.size()) : 100.0; // 0 = stored raw
}

void BM_Compress(benchmark::State& state) {
  const Bytes& raw = Image(int(state.range(1)));
  TAbstractDIBCompressor& c = Compressor(int(state.range(0)));
  Bytes out(raw.size());
  size_t n = 0;
  for (auto _ : state) {
    n = c.Compress(nullptr, raw.data(), raw.size(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  SetLabels(state, n);
}

void BM_Decompress(benchmark::State& state) {
  const Bytes& raw = Image(int(state.range(1)));
  TAbstractDIBCompressor& c = Compressor(int(state.range(0)));
  Bytes packed(raw.size());
  packed.resize(c.Compress(nullptr, raw.data(), raw.size(), packed.data()));
  if (packed.empty()) {
    state.SkipWithError("the image does not compress with this compressor");
    return;
  }
  Bytes out(raw.size());
  for (auto _ : state) {
    c.Decompress(nullptr, c.GetIdentifier(), out.size(), packed.size(), out.data(), packed.data());
    benchmark::DoNotOptimize(out.data());
  }
  SetLabels(state, packed.size());
}

// Args: compressor (0 rle, 1 lzh), image (0 knob, 1 background).
BENCHMARK(BM_Compress)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decompress)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
