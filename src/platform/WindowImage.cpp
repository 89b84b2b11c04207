#include "platform/WindowImage.h"

#include <vector>

namespace {

class TMemoryWindowImage final : public TWindowImage {
public:
  TMemoryWindowImage(int width, int height)
      : FWidth(width), FHeight(height),
        FBits(static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {}
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  uint8_t* Bits() override { return FBits.data(); }
  void* NativeHandle() const override { return nullptr; }

private:
  int FWidth;
  int FHeight;
  std::vector<uint8_t> FBits;
};

TWindowImageFactory& Factory() {
  static TWindowImageFactory factory;
  return factory;
}

} // namespace

void SetWindowImageFactory(TWindowImageFactory factory) {
  Factory() = std::move(factory);
}

std::unique_ptr<TWindowImage> CreateWindowImage(int width, int height) {
  if (Factory()) {
    return Factory()(width, height);
  }
  return std::make_unique<TMemoryWindowImage>(width, height);
}
