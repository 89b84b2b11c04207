#include "skin/cDIB.h"

#include "platform/WindowImage.h"

#include <algorithm>
#include <utility>

// --- TAbstractSuperDIB ---------------------------------------------------------------------

TAbstractSuperDIB::TAbstractSuperDIB() {
  ChooseDrawVariant();
}

TAbstractSuperDIB::~TAbstractSuperDIB() = default;

void TAbstractSuperDIB::SetSize(int width, int height) {
  if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF) {
    throw EDIBError("Image size " + std::to_string(width) + " x " + std::to_string(height) +
                    " is outside 0..65535");
  }
  width = width == 0 ? 1 : width;
  height = height == 0 ? 1 : height;
  if (FBits != nullptr && width == FWidth && height == FHeight) {
    Changed(); // the same size keeps the buffer and its contents
    return;
  }
  const bool clipWasWhole = FBits == nullptr || FClipRect == TRect{0, 0, FWidth - 1, FHeight - 1};
  ReleaseCurrentBuffer();
  FBits = AllocateBuffer(width, height);
  FWidth = width;
  FHeight = height;
  if (clipWasWhole) {
    FClipRect = TRect{0, 0, FWidth - 1, FHeight - 1};
  }
  Changed();
}

void TAbstractSuperDIB::ReleaseCurrentBuffer() {
  if (FBits != nullptr) {
    ReleaseBuffer();
  }
  FBits = nullptr;
  FWidth = 0;
  FHeight = 0;
}

void TAbstractSuperDIB::SetBufferView(TPixel32* bits, int width, int height) {
  ReleaseCurrentBuffer();
  if (bits == nullptr) {
    return;
  }
  FBits = bits;
  FWidth = width;
  FHeight = height;
  FClipRect = TRect{0, 0, FWidth - 1, FHeight - 1};
  Changed();
}

// Every assignment of a property runs Changed, also when the value stays the same.
void TAbstractSuperDIB::SetAngle(int value) {
  FAngle = NormalizeAngle(value);
  Changed();
}

void TAbstractSuperDIB::SetAutoSize(bool value) {
  FAutoSize = value;
  Changed();
}

void TAbstractSuperDIB::SetMasked(bool value) {
  FMasked = value;
  if (value) {
    FTransparent = false;
  }
  Changed();
}

void TAbstractSuperDIB::SetOpacity(uint8_t value) {
  FOpacity = value;
  Changed();
}

void TAbstractSuperDIB::SetScale(double value) {
  FScaleX = value;
  FScaleY = value;
  Changed();
}

void TAbstractSuperDIB::SetScaleX(double value) {
  FScaleX = value;
  Changed();
}

void TAbstractSuperDIB::SetScaleY(double value) {
  FScaleY = value;
  Changed();
}

void TAbstractSuperDIB::SetTransparent(bool value) {
  FTransparent = value;
  if (value) {
    FMasked = false;
  }
  Changed();
}

TColor TAbstractSuperDIB::TransparentColor() const {
  if (FTransparentMode == tmAuto && FBits != nullptr) {
    return PixelToColor(FBits[0]);
  }
  return FTransparentColor;
}

void TAbstractSuperDIB::SetTransparentColor(TColor value) {
  FTransparentColor = value;
  FTransparentKey = ColorToPixelKey(value);
  Changed();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode value) {
  FTransparentMode = value;
  Changed();
}

void TAbstractSuperDIB::SetClipRect(const TRect& rect) {
  TRect r = rect;
  if (r.Left > r.Right) {
    std::swap(r.Left, r.Right);
  }
  if (r.Top > r.Bottom) {
    std::swap(r.Top, r.Bottom);
  }
  const int maxX = FWidth > 0 ? FWidth - 1 : 0;
  const int maxY = FHeight > 0 ? FHeight - 1 : 0;
  r.Left = std::clamp(r.Left, 0, maxX);
  r.Right = std::clamp(r.Right, 0, maxX);
  r.Top = std::clamp(r.Top, 0, maxY);
  r.Bottom = std::clamp(r.Bottom, 0, maxY);
  FClipRect = r;
}

void TAbstractSuperDIB::ResetAttributes() {
  FAngle = 0;
  FMasked = false;
  FOpacity = 255;
  FScaleX = 100.0;
  FScaleY = 100.0;
  FTransparent = false;
  ChooseDrawVariant();
}

void TAbstractSuperDIB::AssignAttributes(const TAbstractSuperDIB& source) {
  FAngle = source.FAngle;
  FAutoSize = source.FAutoSize;
  FMasked = source.FMasked;
  FOpacity = source.FOpacity;
  FScaleX = source.FScaleX;
  FScaleY = source.FScaleY;
  FTransparent = source.FTransparent;
  FTransparentColor = source.FTransparentColor;
  FTransparentKey = source.FTransparentKey;
  FTransparentMode = source.FTransparentMode;
  Changed();
}

void TAbstractSuperDIB::Assign(const TAbstractSuperDIB& source) {
  if (&source == this) {
    return;
  }
  BeginUpdate();
  try {
    if (source.HasBuffer()) {
      SetSize(source.Width(), source.Height());
      std::copy(source.Pixels(), source.Pixels() + source.PixelCount(), FBits);
    } else {
      ReleaseCurrentBuffer();
    }
    AssignAttributes(source);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TAbstractSuperDIB::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangePending) {
    Changed();
  }
}

void TAbstractSuperDIB::Changed() {
  ChooseDrawVariant();
  if (FUpdateCount > 0) {
    FChangePending = true;
    return;
  }
  FChangePending = false;
  if (OnChange) {
    OnChange(*this);
  }
}

void TAbstractSuperDIB::ChooseDrawVariant() {
  const bool full = FOpacity == 255;
  if (FMasked) {
    FDrawVariant = full ? dvMasked : dvMaskedBlend;
  } else if (FTransparent) {
    FDrawVariant = full ? dvTransparent : dvTransparentBlend;
  } else {
    FDrawVariant = full ? dvCopy : dvBlend;
  }
}

// --- TCustomMemoryDIB ----------------------------------------------------------------------

TCustomMemoryDIB::~TCustomMemoryDIB() = default;

TPixel32* TCustomMemoryDIB::AllocateBuffer(int width, int height) {
  FStorage = std::make_unique<TPixel32[]>(static_cast<size_t>(width) * static_cast<size_t>(height));
  FOwned = true;
  return FStorage.get();
}

void TCustomMemoryDIB::ReleaseBuffer() {
  FStorage.reset();
  FOwned = true;
}

void TCustomMemoryDIB::ShareView(TAbstractSuperDIB& source) {
  if (&source == this) {
    return;
  }
  BeginUpdate();
  ReleaseCurrentBuffer();
  FOwned = false;
  AssignAttributes(source);
  SetBufferView(source.Pixels(), source.Width(), source.Height());
  EndUpdate();
}

// --- TMemoryDIB ----------------------------------------------------------------------------

void TMemoryDIB::Assign(const TAbstractSuperDIB& source) {
  if (const auto* memory = dynamic_cast<const TMemoryDIB*>(&source)) {
    StoreData = memory->StoreData;
    ImageFilename = memory->ImageFilename;
    MaskFilename = memory->MaskFilename;
  }
  TCustomMemoryDIB::Assign(source);
}

// --- TCustomWinDIB -------------------------------------------------------------------------

TCustomWinDIB::TCustomWinDIB() = default;

TCustomWinDIB::TCustomWinDIB(int width, int height) {
  SetSize(width, height);
}

TCustomWinDIB::~TCustomWinDIB() = default;

TPixel32* TCustomWinDIB::AllocateBuffer(int width, int height) {
  FImage = CreateWindowImage(width, height);
  return reinterpret_cast<TPixel32*>(FImage->Bits());
}

void TCustomWinDIB::ReleaseBuffer() {
  FImage.reset();
}
