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
  if (FBackBuffer.Width() != std::max(width, 1) || FBackBuffer.Height() != std::max(height, 1))
    FBackBuffer.SetSize(width, height);
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

void TCustomDIBContainer::PaintBackground(const TRect& dirty) {
  if (dirty == TRect{0, 0, FBackBuffer.Width(), FBackBuffer.Height()})
    FBackBuffer.Fill(Color);
  else
    FBackBuffer.FillRect(Color, dirty.Left, dirty.Top, dirty.Right - dirty.Left,
                         dirty.Bottom - dirty.Top);
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
  FBackBuffer.SetClipRect({screen.Left, screen.Top, screen.Right - 1, screen.Bottom - 1});
  if (BeforePaint)
    BeforePaint(this, FBackBuffer);
  PaintBackground(screen);
  for (TControl* c : std::vector<TControl*>(Controls())) {
    auto* control = dynamic_cast<TCustomDIBControl*>(c);
    if (!control || !control->Visible() || IsEmptyRect(IntersectRect(control->BoundsRect(), dirty)))
      continue;
    const TRect bounds = ScaledRect(control->BoundsRect(), scale);
    FScratchBuffer.SetSize(bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    FScratchBuffer.ResetAttributes();
    control->PaintOnto(FBackBuffer, FScratchBuffer, scale);
  }
  if (AfterPaint)
    AfterPaint(this, FBackBuffer);
  FBackBuffer.SetClipRect({0, 0, FBackBuffer.Width() - 1, FBackBuffer.Height() - 1});
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
  FIndexImage.OnChange = [this](TDIBImageLink&, int, int) { Invalidate(); };
}

void TCustomDIBImageContainer::SetDIBImageList(TCustomDIBImageList* value) {
  FImageListComponent = dynamic_cast<TComponent*>(value);
  FIndexImage.SetDIBImageList(value);
  Invalidate();
}

void TCustomDIBImageContainer::Notification(TComponent* component, TOperation operation) {
  TCustomDIBContainer::Notification(component, operation);
  if (operation == opRemove && component == FImageListComponent) {
    FImageListComponent = nullptr;
    FIndexImage.SetDIBImageList(nullptr);
  }
}

void TCustomDIBImageContainer::SetTileMethod(TTileMethod value) {
  FTileMethod = value;
  Invalidate();
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
