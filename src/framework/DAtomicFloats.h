// A resizable array of 32-bit floats whose elements may be read and written from the host's
// user-interface and audio threads at the same time. Resizing happens only while nothing else
// touches the array (while the module is built or its descriptions change).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

class TAtomicFloats {
public:
  std::size_t Size() const { return FSize; }
  float Get(std::size_t i) const { return FItems[i].load(std::memory_order_relaxed); }
  void Set(std::size_t i, float v) { FItems[i].store(v, std::memory_order_relaxed); }

  // New elements start at 0.0; existing ones keep their values.
  void Resize(std::size_t n) {
    if (n == FSize)
      return;
    auto items = std::make_unique<std::atomic<float>[]>(n);
    for (std::size_t i = 0; i < n; ++i)
      items[i].store(i < FSize ? Get(i) : 0.0f, std::memory_order_relaxed);
    FItems = std::move(items);
    FSize = n;
  }

private:
  std::unique_ptr<std::atomic<float>[]> FItems;
  std::size_t FSize = 0;
};
