// Drawing hot paths: one full repaint of the editor's 298 x 223 window composed the way the
// container does it, and the throughput of each pixel rule over a window-sized area.
//
//   build/<dir>/bench/bench_skin_draw --benchmark_repetitions=5
#include "skin/cDIB.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Artwork stand-ins with the editor's sizes: a textured background, a round knob face and a
// round pointer dot, both on black, which is their transparent colour.
void PaintBackground(TMemoryDIB& image) {
  uint32_t state = 12345;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      state = state * 134775813u + 1;
      image.PixelAt(x, y) = TPixel32{static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                                     static_cast<uint8_t>(state >> 24), 255};
    }
  }
}

void PaintDisc(TMemoryDIB& image, TPixel32 colour) {
  const int cx = image.Width() / 2;
  const int cy = image.Height() / 2;
  const int r = std::min(cx, cy) - 1;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
      image.PixelAt(x, y) = inside ? colour : TPixel32{0, 0, 0, 255};
    }
  }
}

void MakeTransparentOnBlack(TMemoryDIB& image) {
  image.SetTransparent(true);
  image.SetTransparentMode(tmFixed);
  image.SetTransparentColor(0);
}

struct TControlBox {
  int Left, Top, Width, Height;
  uint8_t Opacity;
};

// The editor's window: its background, its image list's three images and its four controls.
struct TEditorScene {
  TMemoryDIB Background{300, 225};
  TMemoryDIB Knob{14, 14};
  TMemoryDIB KnobBG{71, 68};
  TWinDIB BackBuffer{298, 223};
  TMemoryDIB Scratch{1, 1};
  TMemoryDIB ListView{1, 1}; // the image list's hand-out image, a view of an item

  TControlBox Puck{192, 104, 15, 15, 175}; // pressed: blended at 175
  TControlBox DistanceDial{14, 83, 71, 68, 255};
  TControlBox KnobRange{152, 77, 142, 142, 255}; // no image: draws nothing
  TControlBox FeedDial{63, 145, 71, 68, 255};

  TEditorScene() {
    PaintBackground(Background);
    PaintDisc(Knob, TPixel32{200, 210, 220, 255});
    PaintDisc(KnobBG, TPixel32{90, 100, 110, 255});
    MakeTransparentOnBlack(Knob);
    MakeTransparentOnBlack(KnobBG);
  }

  TAbstractSuperDIB& Hand(TMemoryDIB& item) {
    ListView.ShareView(item);
    return ListView;
  }

  // One control's paint: the back buffer under it onto the scratch image, its content, and
  // the scratch image back with the control's opacity.
  template <typename Content> void PaintControl(const TControlBox& c, Content content) {
    Scratch.SetSize(c.Width, c.Height);
    Scratch.ResetAttributes();
    BackBuffer.Draw(0, 0, c.Left, c.Top, Scratch, c.Height, c.Width);
    content();
    Scratch.SetOpacity(c.Opacity);
    Scratch.Draw(c.Left, c.Top, BackBuffer);
  }

  void PaintDial(const TControlBox& c, TPoint pointer) {
    PaintControl(c, [&] {
      TAbstractSuperDIB& face = Hand(KnobBG);
      face.Draw(c.Width / 2 - face.Width() / 2, c.Height / 2 - face.Height() / 2, Scratch);
      TAbstractSuperDIB& glyph = Hand(Knob);
      glyph.SetAutoSize(true);
      glyph.Draw(pointer.X, pointer.Y, Scratch);
    });
  }

  void PaintFrame() {
    BackBuffer.SetClipRect(TRect{0, 0, 297, 222});
    BackBuffer.Fill(0); // the background's size differs from the window's
    Hand(Background).Draw(298 / 2 - 300 / 2, 223 / 2 - 225 / 2, BackBuffer);
    PaintControl(Puck, [&] { Hand(Knob).Draw(0, 0, Scratch); });
    PaintDial(DistanceDial, TPoint{13, 45});
    PaintControl(KnobRange, [] {});
    PaintDial(FeedDial, TPoint{43, 45});
  }
};

void BM_EditorFrame(benchmark::State& state) {
  TEditorScene scene;
  for (auto _ : state) {
    scene.PaintFrame();
    benchmark::DoNotOptimize(scene.BackBuffer.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);

// One pixel rule over a 298 x 223 area; items are pixels.
void BM_PixelRule(benchmark::State& state) {
  TMemoryDIB source(298, 223);
  TMemoryDIB dest(298, 223);
  PaintBackground(source);
  PaintBackground(dest);
  const auto rule = static_cast<TDrawVariant>(state.range(0));
  if (rule == dvMasked || rule == dvMaskedBlend) {
    source.SetMasked(true);
  }
  if (rule == dvTransparent || rule == dvTransparentBlend) {
    MakeTransparentOnBlack(source);
  }
  if (rule == dvBlend || rule == dvMaskedBlend || rule == dvTransparentBlend) {
    source.SetOpacity(175);
  }
  if (source.DrawVariant() != rule) {
    state.SkipWithError("rule not selected");
    return;
  }
  for (auto _ : state) {
    source.Draw(0, 0, dest);
    benchmark::DoNotOptimize(dest.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 298 * 223);
  state.SetLabel(std::vector<const char*>{"Copy", "Blend", "Masked", "MaskedBlend", "Transparent",
                                          "TransparentBlend"}[rule]);
}
BENCHMARK(BM_PixelRule)->DenseRange(dvCopy, dvTransparentBlend)->Unit(benchmark::kMicrosecond);

// The knob face turned by 30 degrees, auto-sized, drawn transparently.
void BM_RotatedFace(benchmark::State& state) {
  TMemoryDIB face(71, 68);
  PaintDisc(face, TPixel32{90, 100, 110, 255});
  MakeTransparentOnBlack(face);
  face.SetAngle(30);
  face.SetAutoSize(true);
  TMemoryDIB dest(298, 223);
  for (auto _ : state) {
    face.Draw(100, 80, dest);
    benchmark::DoNotOptimize(dest.Pixels());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RotatedFace)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
