#include "skin/Forms.h"

#include "skin/DisplayScale.h"

#include <algorithm>

namespace {

uint32_t DownMessage(TMouseButton button, bool doubleClick) {
  switch (button) {
  case TMouseButton::Left:
    return doubleClick ? msgLButtonDblClk : msgLButtonDown;
  case TMouseButton::Right:
    return doubleClick ? msgRButtonDblClk : msgRButtonDown;
  case TMouseButton::Middle:
    break;
  }
  return doubleClick ? msgMButtonDblClk : msgMButtonDown;
}

uint32_t UpMessage(TMouseButton button) {
  switch (button) {
  case TMouseButton::Left:
    return msgLButtonUp;
  case TMouseButton::Right:
    return msgRButtonUp;
  case TMouseButton::Middle:
    break;
  }
  return msgMButtonUp;
}

} // namespace

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {}

TCustomForm::~TCustomForm() {
  DestroyComponents();
  while (!Controls().empty())
    delete Controls().back();
  FTimers.clear();
  FWindow.reset();
}

bool TCustomForm::CreateWindowIn(void* parent, intptr_t hostData) {
  FCaptureControl = nullptr;
  FMouseControl = nullptr;
  FWindow.reset();
  FWindow = CreateEditorWindow({parent, hostData, ScreenWidth(), ScreenHeight()}, *this);
  return FWindow != nullptr;
}

void TCustomForm::SetDisplayScale(double value) {
  if (value == FDisplayScale || !(value > 0))
    return;
  FDisplayScale = value;
  if (!HasWindow())
    return;
  PlaceWindow();
  FWindow->Invalidate({0, 0, ScreenWidth(), ScreenHeight()});
}

int TCustomForm::ScreenWidth() const {
  return ScaledCoordinate(Width(), FDisplayScale);
}

int TCustomForm::ScreenHeight() const {
  return ScaledCoordinate(Height(), FDisplayScale);
}

void TCustomForm::PlaceWindow() {
  FWindow->Place(ScaledCoordinate(Left(), FDisplayScale), ScaledCoordinate(Top(), FDisplayScale),
                 ScreenWidth(), ScreenHeight());
}

void TCustomForm::ShowWindow() {
  if (!HasWindow())
    return;
  PlaceWindow();
  FWindow->Show();
  FWindow->Invalidate({0, 0, ScreenWidth(), ScreenHeight()});
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  TWinControl::SetBounds(left, top, width, height);
  if (HasWindow())
    PlaceWindow();
}

void TCustomForm::ProcessMessages() {
  if (HasWindow())
    FWindow->ProcessEvents();
}

void TCustomForm::Update() {
  if (HasWindow())
    FWindow->Update();
}

void TCustomForm::InvalidateRect(const TRect& rect) {
  if (HasWindow())
    FWindow->Invalidate(ScaledRect(rect, FDisplayScale));
}

void TCustomForm::SetCaptureControl(TControl* control) {
  FCaptureControl = control;
  if (!HasWindow())
    return;
  if (control)
    FWindow->SetCapture();
  else
    FWindow->ReleaseCapture();
}

void TCustomForm::ControlRemoved(TControl* control) {
  if (FCaptureControl == control)
    SetCaptureControl(nullptr);
  if (FMouseControl == control)
    FMouseControl = nullptr;
  if (const auto* windowed = dynamic_cast<const TWinControl*>(control))
    for (TControl* child : windowed->Controls())
      ControlRemoved(child);
}

uint32_t TCustomForm::RegisterTimer(TFormTimerClient& client) {
  const uint32_t id = FNextTimerId++;
  FTimers.push_back({id, &client});
  return id;
}

void TCustomForm::UnregisterTimer(uint32_t id) {
  StopTimer(id);
  std::erase_if(FTimers, [id](const TTimerEntry& t) { return t.Id == id; });
}

bool TCustomForm::StartTimer(uint32_t id, uint32_t intervalMs) {
  if (!HasWindow())
    return true;
  return FWindow->StartTimer(id, intervalMs);
}

void TCustomForm::StopTimer(uint32_t id) {
  if (HasWindow())
    FWindow->StopTimer(id);
}

void TCustomForm::WindowPaint(const TRect& screenDirty) {
  const TRect dirty = UnscaledRectCovering(screenDirty, FDisplayScale);
  for (TControl* c : std::vector<TControl*>(Controls())) {
    auto* windowed = dynamic_cast<TWinControl*>(c);
    if (!windowed || !windowed->Visible())
      continue;
    const TRect b = windowed->BoundsRect();
    const TRect r = IntersectRect(dirty, b);
    if (!IsEmptyRect(r))
      windowed->PaintWindow({r.Left - b.Left, r.Top - b.Top, r.Right - b.Left, r.Bottom - b.Top});
  }
}

TControl* TCustomForm::ControlAtWindowPoint(TPoint point, TPoint& local) {
  TWinControl* container = this;
  local = point;
  for (;;) {
    TControl* hit = container->ControlAtPos(local);
    if (!hit)
      return container == this ? nullptr : container;
    local = {local.X - hit->Left(), local.Y - hit->Top()};
    auto* windowed = dynamic_cast<TWinControl*>(hit);
    if (!windowed)
      return hit;
    container = windowed;
  }
}

void TCustomForm::Deliver(TControl* control, uint32_t msg, TShiftState shift, TPoint windowPoint) {
  const TPoint origin = control->WindowOrigin();
  control->Perform(msg, shift, PointToLParam(windowPoint.X - origin.X, windowPoint.Y - origin.Y));
}

// The pointer is over target now. While a control holds the capture, only that control hears
// of the pointer leaving and entering it.
void TCustomForm::TrackMouse(TControl* target) {
  if (target == FMouseControl)
    return;
  TControl* capture = FCaptureControl;
  if (FMouseControl && (!capture || FMouseControl == capture))
    FMouseControl->Perform(msgMouseLeave, 0, 0);
  FMouseControl = target;
  if (FMouseControl && (!capture || FMouseControl == capture))
    FMouseControl->Perform(msgMouseEnter, 0, 0);
}

void TCustomForm::WindowMouse(const TWindowMouseEvent& event) {
  const TPoint point{UnscaledCoordinate(event.X, FDisplayScale),
                     UnscaledCoordinate(event.Y, FDisplayScale)};
  TPoint local;
  TControl* under = ControlAtWindowPoint(point, local);
  if (event.Kind == TWindowMouseKind::Leave) {
    if (!FCaptureControl)
      TrackMouse(nullptr);
    return;
  }
  if (event.Kind == TWindowMouseKind::Move)
    TrackMouse(under);
  TControl* target = FCaptureControl ? FCaptureControl : under;
  if (!target)
    return;
  switch (event.Kind) {
  case TWindowMouseKind::Down:
    Deliver(target, DownMessage(event.Button, event.Shift & ssDouble), event.Shift, point);
    break;
  case TWindowMouseKind::Up: {
    const bool released = event.Button == mbLeft && FCaptureControl == target;
    Deliver(target, UpMessage(event.Button), event.Shift, point);
    if (released && target->Parent() && GetParentForm(target) == this) {
      const TPoint origin = target->Parent()->WindowOrigin();
      target->Parent()->CaptureReleased(target, {point.X - origin.X, point.Y - origin.Y});
      FMouseControl = ControlAtWindowPoint(point, local);
    }
    break;
  }
  case TWindowMouseKind::Move:
    Deliver(target, msgMouseMove, event.Shift, point);
    break;
  case TWindowMouseKind::Wheel: {
    const int notches = std::clamp(event.Wheel, -32768, 32767);
    Deliver(target, msgMouseWheel,
            (event.Shift & 0xFFFF) | (uintptr_t(uint16_t(int16_t(notches))) << 16), point);
    break;
  }
  case TWindowMouseKind::Leave:
    break;
  }
}

void TCustomForm::WindowTimer(uint32_t id) {
  for (const TTimerEntry& t : FTimers)
    if (t.Id == id) {
      t.Client->FormTimerTick();
      return;
    }
}

void TCustomForm::WindowDestroyed() {
  FCaptureControl = nullptr;
  FMouseControl = nullptr;
}
