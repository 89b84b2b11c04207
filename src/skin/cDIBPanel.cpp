#include "skin/cDIBPanel.h"

#include "platform/WindowImage.h"
#include "skin/DisplayScale.h"
#include "skin/Forms.h"
#include "skin/cDIBControl.h"

#include <algorithm>

// --- TCustomDIBContainer -------------------------------------------------------------------

TCustomDIBContainer::TCustomDIBContainer(TComponent* owner) : TWinControl(owner) {
  TWinControl::SetBounds(0, 0, 185, 41);
  SizeBackBuffer();
}

TCustomDIBContainer::~TCustomDIBContainer() {
  while (!Controls().empty())
    delete Controls().back();
}

double TCustomDIBContainer::PaintScale() const {
  const TCustomForm* form = GetParentForm(this);
  return form ? form->DisplayScale() : 1.0;
}

void TCustomDIBContainer::SizeBackBuffer() {
  const double scale = PaintScale();
  const int width = ScaledCoordinate(Width(), scale), height = ScaledCoordinate(Height(), scale);
  if (FBackBuffer.Width() != std::max(width, 1) || FBackBuffer.Height() != std::max(height, 1)) {
    FBackBuffer.SetSize(width, height);
    ForgetBackground();
  }
}

void TCustomDIBContainer::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  if (!Loading())
    SizeBackBuffer();
}

void TCustomDIBContainer::Loaded() {
  TWinControl::Loaded();
  SizeBackBuffer();
}

void TCustomDIBContainer::SetActiveControl(TCustomDIBControl* control) {
  if (control == FActiveControl)
    return;
  TCustomDIBControl* previous = FActiveControl;
  FActiveControl = control;
  if (previous)
    previous->DIBExit();
  if (OnActiveControlChange)
    OnActiveControlChange(this);
}

void TCustomDIBContainer::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == FActiveControl)
    FActiveControl = nullptr;
}

TCustomDIBContainer::TBackgroundKey TCustomDIBContainer::BackgroundKey() const {
  TBackgroundKey key;
  key.Colour = Color;
  key.Scale = PaintScale();
  return key;
}

void TCustomDIBContainer::PaintBackground(const TRect& dirty) {
  if (dirty == TRect{0, 0, FBackBuffer.Width(), FBackBuffer.Height()})
    FBackBuffer.Fill(Color);
  else
    FBackBuffer.FillRect(Color, dirty.Left, dirty.Top, dirty.Right - dirty.Left,
                         dirty.Bottom - dirty.Top);
}

void TCustomDIBContainer::SetClip(const TRect& area) {
  FBackBuffer.SetClipRect({area.Left, area.Top, area.Right - 1, area.Bottom - 1});
}

void TCustomDIBContainer::RestoreBackground(const TRect& dirty) {
  const TBackgroundKey key = BackgroundKey();
  // Whatever a BeforePaint hook drew is painted over at once, so nothing of it is kept track of.
  if (!FBackgroundKnown || BeforePaint || !(key == FBackgroundKey)) {
    PaintBackground(dirty);
    FDrawnOver.clear();
    FBackgroundKey = key;
    const TRect whole{0, 0, FBackBuffer.Width(), FBackBuffer.Height()};
    FBackgroundKnown = !BeforePaint && IntersectRect(dirty, whole) == whole;
    return;
  }
  std::vector<TRect> kept;
  for (const TRect& over : FDrawnOver) {
    const TRect part = IntersectRect(over, dirty);
    if (!IsEmptyRect(part)) {
      SetClip(part);
      PaintBackground(part);
    }
    if (part != over)
      kept.push_back(over);
  }
  FDrawnOver = std::move(kept);
  SetClip(dirty);
}

void TCustomDIBContainer::NoteDrawnOver(const TRect& area) {
  if (IsEmptyRect(area))
    return;
  for (const TRect& over : FDrawnOver)
    if (IntersectRect(over, area) == area)
      return;
  // A list that only grows (areas half inside the dirty rectangles) is given up for one full
  // background.
  constexpr size_t kMostAreas = 64;
  if (FDrawnOver.size() == kMostAreas) {
    FBackgroundKnown = false;
    FDrawnOver.clear();
    return;
  }
  FDrawnOver.push_back(area);
}

void TCustomDIBContainer::HookDrewOnly(const TRect& area) {
  FHookArea = IntersectRect(ScaledRect(area, PaintScale()),
                            {0, 0, FBackBuffer.Width(), FBackBuffer.Height()});
}

TMemoryDIB& TCustomDIBContainer::ScratchFor(int width, int height) {
  const int w = std::max(width, 1), h = std::max(height, 1);
  for (const auto& scratch : FScratch)
    if (scratch->Width() == w && scratch->Height() == h)
      return *scratch;
  // One image for each size of control, up to a few sizes; beyond them the first is resized.
  constexpr size_t kMostSizes = 8;
  if (FScratch.size() == kMostSizes) {
    FScratch.front()->SetSize(w, h);
    return *FScratch.front();
  }
  return *FScratch.emplace_back(std::make_unique<TMemoryDIB>(w, h));
}

void TCustomDIBContainer::PaintWindow(const TRect& requested) {
  TRect dirty = requested;
  for (TControl* c : Controls())
    if (auto* control = dynamic_cast<TCustomDIBControl*>(c))
      control->ExtendDirtyRect(dirty);
  if (dirty != requested) {
    InvalidateRect(dirty);
    return;
  }
  SizeBackBuffer();
  const double scale = PaintScale();
  const TRect screen = ScaledRect(dirty, scale);
  SetClip(screen);
  if (BeforePaint)
    BeforePaint(this, FBackBuffer);
  RestoreBackground(screen);
  for (TControl* c : std::vector<TControl*>(Controls())) {
    auto* control = dynamic_cast<TCustomDIBControl*>(c);
    if (!control || !control->Visible() || IsEmptyRect(IntersectRect(control->BoundsRect(), dirty)))
      continue;
    const TRect bounds = ScaledRect(control->BoundsRect(), scale);
    TMemoryDIB& scratch = ScratchFor(bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    scratch.ResetAttributes();
    if (control->PaintOnto(FBackBuffer, scratch, scale))
      NoteDrawnOver(IntersectRect(bounds, screen));
  }
  if (AfterPaint) {
    FHookArea = {0, 0, FBackBuffer.Width(), FBackBuffer.Height()};
    AfterPaint(this, FBackBuffer);
    NoteDrawnOver(FHookArea);
  }
  SetClip({0, 0, FBackBuffer.Width(), FBackBuffer.Height()});
  TCustomForm* form = GetParentForm(this);
  if (form && form->HasWindow() && FBackBuffer.WindowImage())
    form->Window()->CopyToScreen(
        *FBackBuffer.WindowImage(), screen,
        {ScaledCoordinate(WindowOrigin().X, scale), ScaledCoordinate(WindowOrigin().Y, scale)});
}

void TCustomDIBContainer::CaptureReleased(TControl* control, TPoint point) {
  const TRect r = control->BoundsRect();
  const bool outside =
      point.X < r.Left || point.Y < r.Top || point.X >= r.Right || point.Y >= r.Bottom;
  auto* skin = dynamic_cast<TCustomDIBControl*>(control);
  if (outside && skin && skin->Hovered())
    control->Perform(msgMouseLeave, 0, 0);
  if (TControl* under = ControlAtPos(point); under && under != control)
    under->Perform(msgMouseEnter, 0, 0);
}

// --- TCustomDIBImageContainer --------------------------------------------------------------

TCustomDIBImageContainer::TCustomDIBImageContainer(TComponent* owner) : TCustomDIBContainer(owner) {
  FIndexImage.OnChange = [this](TDIBImageLink&, int, int) {
    ForgetBackground();
    Invalidate();
  };
}

void TCustomDIBImageContainer::SetDIBImageList(TCustomDIBImageList* value) {
  FImageListComponent = dynamic_cast<TComponent*>(value);
  FIndexImage.SetDIBImageList(value);
  ForgetBackground();
  Invalidate();
}

void TCustomDIBImageContainer::Notification(TComponent* component, TOperation operation) {
  TCustomDIBContainer::Notification(component, operation);
  if (operation == opRemove && component == FImageListComponent) {
    FImageListComponent = nullptr;
    FIndexImage.SetDIBImageList(nullptr);
    ForgetBackground();
  }
}

void TCustomDIBImageContainer::SetTileMethod(TTileMethod value) {
  FTileMethod = value;
  Invalidate();
}

TCustomDIBContainer::TBackgroundKey TCustomDIBImageContainer::BackgroundKey() const {
  TBackgroundKey key = TCustomDIBContainer::BackgroundKey();
  if (const TMemoryDIB* image = FIndexImage.GetImageFor(key.Scale)) {
    key.Pixels = image->Pixels();
    key.Width = image->Width();
    key.Height = image->Height();
    key.Variant = image->DrawVariant();
    key.Opacity = image->Opacity();
  }
  key.Layout = FTileMethod;
  return key;
}

void TCustomDIBImageContainer::PaintBackground(const TRect& dirty) {
  TMemoryDIB* image = FIndexImage.GetImageFor(PaintScale());
  if (!image) {
    TCustomDIBContainer::PaintBackground(dirty);
    return;
  }
  TWinDIB& buffer = BackBuffer();
  if (FTileMethod == tmCenter) {
    const int width = buffer.Width(), height = buffer.Height();
    // The colour shows only where the image leaves the buffer uncovered or shows through it.
    const bool covers = image->Width() >= width && image->Height() >= height &&
                        !image->Transparent() && !image->Masked() && image->Opacity() == 255 &&
                        image->Angle() == 0 && image->ScaleX() == 100 && image->ScaleY() == 100;
    if ((image->Width() != width || image->Height() != height) && !covers)
      TCustomDIBContainer::PaintBackground(dirty);
    image->Draw(width / 2 - image->Width() / 2, height / 2 - image->Height() / 2, buffer);
    return;
  }
  const int w = image->Width(), h = image->Height();
  for (int y = dirty.Top / h * h; y < dirty.Bottom; y += h)
    for (int x = dirty.Left / w * w; x < dirty.Right; x += w)
      image->Draw(x, y, buffer);
}
