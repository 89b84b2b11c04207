#include "skin/cDIBDial.h"

#include "skin/DisplayScale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

constexpr TPublishedProperty kDialProperties[] = {
    {"Position", tkInteger},
    {"Min", tkInteger},
    {"Max", tkInteger},
    {"PageSize", tkInteger},
    {"SmallChange", tkInteger},
    {"IndexMain", tkClass},
    {"IndexPointer", tkClass},
    {"PointerAngles", tkClass},
    {"PointerOpacities", tkClass},
    {"PointerNumGlyphs", tkInteger},
    {"PointerRadius", tkInteger},
    {"PointerRotate", tkEnumeration},
    {"HorizontalPixelsPerPosition", tkFloat},
    {"VerticalPixelsPerPosition", tkFloat},
    {"MouseControlStyle", tkEnumeration},
    {"MouseLinearSensitivity", tkEnumeration},
    {"AutoSize", tkEnumeration},
    {"DragCursor", tkInteger},
    {"DragKind", tkEnumeration},
    {"DragMode", tkEnumeration},
    {"OnChange", tkMethod},
    {"OnContextPopup", tkMethod},
    {"OnDragDrop", tkMethod},
    {"OnDragOver", tkMethod},
    {"OnEndDock", tkMethod},
    {"OnEndDrag", tkMethod},
    {"OnKeyDown", tkMethod},
    {"OnKeyPress", tkMethod},
    {"OnKeyUp", tkMethod},
    {"OnStartDock", tkMethod},
    {"OnstartDrag", tkMethod},
};

[[noreturn]] void CannotAssign(const TDIBDialSettings& source, const char* target) {
  throw Exception(std::string("Cannot assign a ") + source.ClassName() + " to a " + target);
}

// A value beyond the 32-bit range becomes its nearest end (NaN gives 0).
int32_t Saturate(long double v) {
  constexpr long double kLow = std::numeric_limits<int32_t>::min();
  constexpr long double kHigh = std::numeric_limits<int32_t>::max();
  if (std::isnan(v))
    return 0;
  return int32_t(std::clamp(v, kLow, kHigh));
}

int32_t Saturate(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

} // namespace

// --- settings ----------------------------------------------------------------------------

void TCustomDIBDialPointerAngles::SetStart(int32_t value) {
  if (value < 0 || value > 359)
    throw EDIBDialError("Start must be 0..359");
  FStart = value;
  Changed();
}

void TCustomDIBDialPointerAngles::SetRange(int32_t value) {
  if (value < 1 || value > 360)
    throw EDIBDialError("Range must be 1..360");
  FRange = value;
  if (FResolution < FRange)
    SetResolution(FRange);
  Changed();
}

void TCustomDIBDialPointerAngles::SetResolution(long double value) {
  if (!(value >= 0 && value <= FRange))
    throw EDIBDialError("Resolution must be above 0 and less than " + std::to_string(FRange + 1));
  FResolution = value;
  Changed();
}

void TCustomDIBDialPointerAngles::Assign(const TDIBDialSettings& source) {
  const auto* angles = dynamic_cast<const TCustomDIBDialPointerAngles*>(&source);
  if (!angles)
    CannotAssign(source, ClassName());
  FRange = angles->FRange;
  FStart = angles->FStart;
  FResolution = angles->FResolution;
  Changed();
}

void TCustomDIBDialPointerOpacities::SetActive(uint8_t value) {
  FActive = value;
  Changed();
}

void TCustomDIBDialPointerOpacities::SetNormal(uint8_t value) {
  FNormal = value;
  Changed();
}

void TCustomDIBDialPointerOpacities::Assign(const TDIBDialSettings& source) {
  const auto* opacities = dynamic_cast<const TCustomDIBDialPointerOpacities*>(&source);
  if (!opacities)
    CannotAssign(source, ClassName());
  FActive = opacities->FActive;
  FNormal = opacities->FNormal;
  Changed();
}

// --- TAbstractDIBDial --------------------------------------------------------------------

TAbstractDIBDial::TAbstractDIBDial(TComponent* owner)
    : TCustomDIBControl(owner), FIndexMain(&AddImageLink()), FIndexPointer(&AddImageLink()) {
  AutoRepeat = true;
  AutoRepeatInterval = 50;
}

TAbstractDIBDial::~TAbstractDIBDial() = default;

void TAbstractDIBDial::CreateSettings() {
  FPointerAngles = CreatePointerAngles();
  FPointerOpacities = CreatePointerOpacities();
  FPointerAngles->OnSettingsChange = [this] { SettingsChanged(); };
  FPointerOpacities->OnSettingsChange = [this] { SettingsChanged(); };
  SetAutoSize(true);
}

void TAbstractDIBDial::SetPosition(int32_t value) {
  FPosition = std::clamp(value, std::min(FMin, FMax), FMax);
  if (FPosition < FMin)
    FPosition = FMin;
  PositionChanged();
  if (!Loading() && OnChange)
    OnChange(this);
  Invalidate();
}

void TAbstractDIBDial::SetMin(int32_t value) {
  if (!Loading() && value >= FMax)
    throw EDIBDialError("Min must be less than max");
  FMin = value;
  if (FPosition < FMin)
    SetPosition(FMin);
  Invalidate();
}

void TAbstractDIBDial::SetMax(int32_t value) {
  if (!Loading() && value <= FMin)
    throw EDIBDialError("Max must be greater than min");
  FMax = value;
  if (FPosition > FMax)
    SetPosition(FMax);
  Invalidate();
}

void TAbstractDIBDial::SetPageSize(int32_t value) {
  if (!Loading() && value < 0)
    throw EDIBDialError("PageSize cannot be less than 0");
  FPageSize = value;
}

void TAbstractDIBDial::SetSmallChange(int32_t value) {
  if (!Loading() && value < 0)
    throw EDIBDialError("SmallChange cannot be less than 0");
  FSmallChange = value;
}

void TAbstractDIBDial::SetPointerNumGlyphs(int32_t value) {
  if (value < 1)
    throw EDIBDialError("PointerNumGlyphs must be at least 1");
  FPointerNumGlyphs = value;
  Invalidate();
}

void TAbstractDIBDial::SetPointerRadius(int32_t value) {
  FPointerRadius = value;
  Invalidate();
}

void TAbstractDIBDial::SetPointerRotate(bool value) {
  FPointerRotate = value;
  Invalidate();
}

void TAbstractDIBDial::SetHorizontalPixelsPerPosition(long double value) {
  if (!(value > 0))
    throw EDIBDialError("HorizontalPixelsPerPosition must be greater than zero");
  FHorizontalPixelsPerPosition = value;
}

void TAbstractDIBDial::SetVerticalPixelsPerPosition(long double value) {
  if (!(value > 0))
    throw EDIBDialError("VerticalPixelsPerPosition must be greater than zero");
  FVerticalPixelsPerPosition = value;
}

// A radius of 0 or less is an inward offset from the largest circle that keeps the glyph
// inside the control.
int32_t TAbstractDIBDial::Radius(const TMemoryDIB& pointer) const {
  if (FPointerRadius > 0)
    return FPointerRadius;
  return std::max(std::min(Width(), Height()) / 2 - pointer.Height() / 2 + FPointerRadius, 0);
}

TRect TAbstractDIBDial::PointerRect() {
  TMemoryDIB* pointer = nullptr;
  if (!FIndexPointer->GetImage(pointer))
    return {};
  return PointerRectOf(*pointer, {Width(), Height()}, Radius(*pointer));
}

// The glyph of pointer on a circle of radius around the centre of a control of size.
TRect TAbstractDIBDial::PointerRectOf(const TMemoryDIB& pointer, TPoint size, int32_t radius) {
  const int32_t angle = PointerAngle();
  const TPoint pt = PointOnCircle(size.X / 2, size.Y / 2, radius, angle);
  const TPoint s = RotatedSize(pointer.Width() / FPointerNumGlyphs, pointer.Height(),
                               FPointerRotate ? angle : 0, 100, 100);
  const int32_t left = pt.X - s.X / 2, top = pt.Y - s.Y / 2;
  return {left, top, left + s.X - 1, top + s.Y - 1};
}

int32_t TAbstractDIBDial::PositionFromPoint(int32_t x, int32_t y) {
  if (MouseControlStyle == mcsLinear) {
    const long double dx = x - FDragStartPoint.X;
    const long double dy = FDragStartPoint.Y - y;
    long double v = 0;
    if (MouseLinearSensitivity == mlsVertical || MouseLinearSensitivity == mlsBoth)
      v = dy / FVerticalPixelsPerPosition;
    if (MouseLinearSensitivity == mlsHorizontal || MouseLinearSensitivity == mlsBoth)
      v += dx / FHorizontalPixelsPerPosition;
    if (FDragFine)
      v /= ShiftDragDivisor;
    return Saturate(std::trunc(v) + FDragStartPosition);
  }
  const int32_t d =
      NormalizeAngle(AngleOfPoint(Width() / 2, Height() / 2, x, y) - FPointerAngles->Start());
  const int64_t steps = int64_t(d) * (int64_t(FMax) - FMin + 1) / FPointerAngles->Range();
  return int32_t(std::clamp<int64_t>(FMin + steps, FMin, FMax));
}

TDIBDialHitPart TAbstractDIBDial::HitTest(int32_t x, int32_t y) {
  if (MouseControlStyle == mcsLinear)
    return dhpPointer;
  const TRect r = PointerRect();
  if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom)
    return dhpPointer;
  const int64_t diff = int64_t(PositionFromPoint(x, y)) - FPosition;
  const int64_t quarter = (int64_t(FMax) - FMin) / 4;
  if (diff > quarter || -diff > quarter)
    return diff < 0 ? dhpPageDecrease : dhpPageIncrease;
  return diff < 0 ? dhpSmallDecrease : dhpSmallIncrease;
}

void TAbstractDIBDial::BeginDrag() {
  if (RepeatTimer().Running())
    RequestCancelRepeat();
  FDragging = true;
  Invalidate();
}

void TAbstractDIBDial::EndDrag() {
  FDragging = false;
  Invalidate();
}

void TAbstractDIBDial::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseDown(button, shift, x, y);
  if (button != mbLeft)
    return;
  FDragStartPosition = FPosition;
  FDragStartPoint = FDragLastPoint = {x, y};
  FDragFine = ShiftDragDivisor != 1.0L && (shift & ssShift);
  const int64_t t = PositionFromPoint(x, y);
  switch (HitTest(x, y)) {
  case dhpPointer:
  case dhpNone:
    BeginDrag();
    break;
  case dhpSmallDecrease:
    SetPosition(Saturate(std::max<int64_t>(int64_t(FPosition) - FSmallChange, t)));
    break;
  case dhpSmallIncrease:
    SetPosition(Saturate(std::min<int64_t>(int64_t(FPosition) + FSmallChange, t)));
    break;
  case dhpPageDecrease:
    SetPosition(Saturate(std::max<int64_t>(int64_t(FPosition) - FPageSize, t)));
    break;
  case dhpPageIncrease:
    SetPosition(Saturate(std::min<int64_t>(int64_t(FPosition) + FPageSize, t)));
    break;
  }
}

void TAbstractDIBDial::MouseMove(TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseMove(shift, x, y);
  if (!FDragging)
    return;
  // Shift changed since the last event: the drag goes on from where the knob stood there.
  if (ShiftDragDivisor != 1.0L && FDragFine != bool(shift & ssShift)) {
    FDragStartPosition = FPosition;
    FDragStartPoint = FDragLastPoint;
    FDragFine = !FDragFine;
  }
  FDragLastPoint = {x, y};
  SetPosition(PositionFromPoint(x, y));
}

void TAbstractDIBDial::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomDIBControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && FDragging)
    EndDrag();
}

bool TAbstractDIBDial::AutoSizeExtent(int& width, int& height) {
  TMemoryDIB* image = nullptr;
  if (!FIndexMain->GetImage(image))
    return false;
  const int faceWidth = image->Width(), faceHeight = image->Height();
  width = faceWidth;
  height = faceHeight;
  if (FPointerRadius > 0 && FIndexPointer->GetImage(image)) {
    const int s = std::max(std::min(faceWidth, faceHeight),
                           FPointerRadius + std::max(image->Width(), image->Height()) / 2);
    width = std::max(width, s);
    height = std::max(height, s);
  }
  return true;
}

void TAbstractDIBDial::ImageChanged(int, int) {
  if (AutoSize())
    ApplyAutoSize();
  Invalidate();
}

// At a display scale the face and the pointer are the artwork of that scale, on the control's
// size and the pointer's radius on the screen.
void TAbstractDIBDial::DrawContent() {
  TCustomDIBControl::DrawContent();
  TMemoryDIB* image = Surface() ? PaintImage(*FIndexMain) : nullptr;
  if (!image)
    return;
  const TPoint size = PaintSize();
  image->Draw(size.X / 2 - image->Width() / 2, size.Y / 2 - image->Height() / 2, *Surface());
  TMemoryDIB* pointer = nullptr;
  if (!FIndexPointer->GetImage(pointer))
    return;
  const int32_t radius = ScaledCoordinate(Radius(*pointer), PaintScale());
  image = PaintImage(*FIndexPointer);
  const TRect r = PointerRectOf(*image, size, radius);
  const int32_t angle = PointerAngle();
  if (FPointerRotate)
    image->SetAngle(angle);
  image->SetAutoSize(true);
  image->SetOpacity(FDragging ? FPointerOpacities->Active() : FPointerOpacities->Normal());
  DrawGlyphStrip(*image, *Surface(), r.Left, r.Top, angle, 0, 359, FPointerNumGlyphs, true);
}

// --- TCustomDIBDial, TDIBDial ------------------------------------------------------------

TCustomDIBDial::TCustomDIBDial(TComponent* owner) : TAbstractDIBDial(owner) {
  CreateSettings();
}

std::unique_ptr<TCustomDIBDialPointerAngles> TCustomDIBDial::CreatePointerAngles() {
  return std::make_unique<TDIBDialPointerAngles>();
}

std::unique_ptr<TCustomDIBDialPointerOpacities> TCustomDIBDial::CreatePointerOpacities() {
  return std::make_unique<TDIBDialPointerOpacities>();
}

int32_t TCustomDIBDial::PointerAngle() {
  const int32_t span = Max() - Min();
  const int32_t a = span == 0 ? 0 : int32_t(int64_t(Position() - Min()) * 360) / span;
  return NormalizeAngle(
      int32_t(PointerAngles().Start() + int64_t(a) * PointerAngles().Range() / 360));
}

const TPublishedProperties& TDIBDial::PublishedProperties() {
  static const TPublishedProperties table{kDialProperties,
                                          &TCustomDIBControl::PublishedProperties()};
  return table;
}

TDIBDial::TDIBDial(TComponent* owner) : TCustomDIBDial(owner) {
  for (const char* name :
       {"AutoSize", "Max", "Min", "Opacity", "PageSize", "PointerAngles", "PointerOpacities",
        "PointerNumGlyphs", "PointerRadius", "PointerRotate", "Position", "SmallChange",
        "HorizontalPixelsPerPosition", "VerticalPixelsPerPosition", "MouseControlStyle",
        "MouseLinearSensitivity"})
    RegisterTemplateProperty(name, PublishedProperties());
}

void DrawGlyphStrip(TAbstractSuperDIB& strip, TAbstractSuperDIB& target, int x, int y, int value,
                    int minimum, int maximum, int frames, bool wrapAround) {
  if (frames < 1 || maximum == minimum)
    return;
  const int w = strip.Width() / frames, h = strip.Height();
  if (w < 1 || h < 1)
    return;
  const double f = double(value - minimum) / double(maximum - minimum) * frames;
  const auto place = [&](double v) {
    const long long i = std::isfinite(v) ? (long long)v : 0;
    if (i >= frames)
      return wrapAround ? 0 : frames - 1;
    if (i < 0)
      return wrapAround ? frames - 1 : 0;
    return int(i);
  };
  const int hi = place(std::ceil(f)), lo = place(std::floor(f));
  const double frac = f - std::trunc(f);
  const int alpha = 255 - int(std::nearbyint(frac * 255));

  TMemoryDIB a(w, h);
  strip.DrawCopy(0, 0, hi * w, 0, a, h, w);
  a.AssignAttributes(strip);
  a.SetOpacity(255);
  TMemoryDIB b(w, h);
  strip.DrawCopy(0, 0, lo * w, 0, b, h, w);
  b.AssignAttributes(strip);
  b.SetAngle(0);
  b.SetScale(100);
  b.SetOpacity(uint8_t(std::clamp(alpha, 0, 255)));
  b.Draw(0, 0, a);
  a.SetOpacity(strip.Opacity());
  a.Draw(x, y, target);
}
