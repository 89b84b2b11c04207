#include "skin/cDIBImage.h"

namespace {

constexpr TPublishedProperty kImageProperties[] = {
    {"Angle", tkInteger},     {"AutoSize", tkEnumeration}, {"Center", tkEnumeration},
    {"Scale", tkFloat},       {"Stretch", tkEnumeration},  {"IndexMain", tkClass},
    {"Constraints", tkClass}, {"Cursor", tkInteger},       {"OnClick", tkMethod},
    {"OnDblClick", tkMethod}, {"OnResize", tkMethod},      {"OnPaintStart", tkMethod},
    {"OnPaintEnd", tkMethod},
};

} // namespace

const TPublishedProperties& TCustomDIBImage::PublishedProperties() {
  static const TPublishedProperties table{kImageProperties,
                                          &TCustomDIBControl::PublishedProperties()};
  return table;
}

TCustomDIBImage::TCustomDIBImage(TComponent* owner)
    : TCustomDIBControl(owner), FIndexMain(&AddImageLink()) {}

void TCustomDIBImage::SetAngle(int16_t value) {
  FAngle = value;
  ApplyAutoSize();
  Invalidate();
}

void TCustomDIBImage::SetCenter(bool value) {
  if (value == FCenter)
    return;
  FCenter = value;
  ApplyAutoSize();
  Invalidate();
}

void TCustomDIBImage::SetScale(long double value) {
  FScale = value;
  FStretch = false;
  ApplyAutoSize();
  Invalidate();
}

void TCustomDIBImage::SetStretch(bool value) {
  FStretch = value;
  if (value)
    SetAutoSize(false);
  Invalidate();
}

bool TCustomDIBImage::AutoSizeExtent(int& width, int& height) {
  TMemoryDIB* image = nullptr;
  if (!FIndexMain->GetImage(image))
    return false;
  const TPoint size =
      RotatedSize(image->Width(), image->Height(), FAngle, double(FScale), double(FScale));
  width = size.X;
  height = size.Y;
  return true;
}

void TCustomDIBImage::ImageChanged(int, int) {
  if (AutoSize())
    ApplyAutoSize();
  else
    Invalidate();
}

void TCustomDIBImage::DrawContent() {
  TMemoryDIB* image = Surface() ? PaintImage(*FIndexMain) : nullptr;
  if (!image)
    return;
  // The control's size on the screen.
  const int width = PaintSize().X, height = PaintSize().Y;
  image->SetAutoSize(true);
  image->SetAngle(FAngle);
  image->SetScale(double(FScale));
  if (FStretch) {
    image->SetScaleX(width * 100 / image->Width());
    image->SetScaleY(height * 100 / image->Height());
  }
  const TPoint size = RotatedSize(image->Width(), image->Height(), image->Angle(), image->ScaleX(),
                                  image->ScaleY());
  int x = 0, y = 0;
  if (FCenter && !AutoSize()) {
    x = width / 2 - size.X / 2;
    y = height / 2 - size.Y / 2;
  }
  image->Draw(x, y, *Surface());
}

TDIBImage::TDIBImage(TComponent* owner) : TCustomDIBImage(owner) {
  for (const char* name : {"Angle", "AutoSize", "Center", "Opacity", "Scale", "Stretch"})
    RegisterTemplateProperty(name, PublishedProperties());
}
