// The editor's paint cycle in a headless window, beside a plain copy of the whole back buffer
// measured in the same run: a full frame (every control drawn again over the background restored
// where they drew, and the whole picture copied to the screen) and the repaint of one knob's
// rectangle, at each display scale (the argument: the scale in tenths, 10 to 30). The memory an
// open editor adds is reported as the counter "open_editor_bytes": the bytes the form and its
// window hold while open and painted once (with the headless window's copy of the screen, its size
// times 4 bytes, which a real window does not keep).
//
//   build/<dir>/bench/bench_editor_paint --benchmark_repetitions=5
#include "editor/VSTEditor.h"
#include "platform/EditorWindowHeadless.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {
std::atomic<long long> gLiveBytes{0};
} // namespace

// Every allocation carries its size in front of it, so that the bytes alive can be counted.
void* operator new(std::size_t size) {
  auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
  if (!block)
    throw std::bad_alloc();
  *block = size;
  gLiveBytes += static_cast<long long>(size);
  return reinterpret_cast<char*>(block) + 16;
}
void operator delete(void* p) noexcept {
  if (!p)
    return;
  auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - 16);
  gLiveBytes -= static_cast<long long>(*block);
  std::free(block);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

namespace {

struct TOpenEditor {
  explicit TOpenEditor(double scale = 1.0) {
    SetEditorWindowFactory(HeadlessEditorWindowFactory());
    Form = std::make_unique<TVSTEditorForm>();
    Form->SetHostScale(scale);
    Form->Embed(&Parent, 0);
    Form->Update();
  }
  ~TOpenEditor() { SetEditorWindowFactory({}); }
  int Parent = 0;
  std::unique_ptr<TVSTEditorForm> Form;
};

void BM_PlainFullFrameCopy(benchmark::State& state) {
  TOpenEditor editor;
  TWinDIB& back = editor.Form->ZinGround->BackBuffer();
  std::vector<uint8_t> screen(back.ByteCount());
  for (auto _ : state) {
    std::memcpy(screen.data(), back.Bytes(), screen.size());
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainFullFrameCopy);

double Scale(const benchmark::State& state) {
  return double(state.range(0)) / 10.0;
}

void BM_FullEditorFrame(benchmark::State& state) {
  TOpenEditor editor(Scale(state));
  for (auto _ : state) {
    editor.Form->Invalidate();
    editor.Form->Update();
  }
}
BENCHMARK(BM_FullEditorFrame)->DenseRange(10, 30, 5);

void BM_OneKnobRepaint(benchmark::State& state) {
  TOpenEditor editor(Scale(state));
  for (auto _ : state) {
    editor.Form->DistanceDial->Invalidate();
    editor.Form->Update();
  }
}
BENCHMARK(BM_OneKnobRepaint)->DenseRange(10, 30, 5);

void BM_OpenEditorMemory(benchmark::State& state) {
  long long bytes = 0;
  for (auto _ : state) {
    const long long before = gLiveBytes.load();
    {
      TOpenEditor editor(Scale(state));
      bytes = gLiveBytes.load() - before;
    }
  }
  state.counters["open_editor_bytes"] = double(bytes);
}
BENCHMARK(BM_OpenEditorMemory)->DenseRange(10, 30, 5)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
