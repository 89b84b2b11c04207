#include "skin/Controls.h"

#include "skin/Forms.h"

#include <algorithm>

// --- TComponent --------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner)
    FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  DestroyComponents();
  if (FOwner)
    FOwner->RemoveComponent(this);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty())
    delete FComponents.back(); // its destructor leaves the list
}

void TComponent::RemoveComponent(TComponent* component) {
  std::erase(FComponents, component);
  Notification(component, opRemove);
  for (TComponent* sibling : std::vector<TComponent*>(FComponents))
    if (std::find(FComponents.begin(), FComponents.end(), sibling) != FComponents.end())
      sibling->Notification(component, opRemove);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::BeginLoading() {
  FLoading = true;
  for (TComponent* c : FComponents)
    c->FLoading = true;
}

void TComponent::EndLoading() {
  FLoading = false;
  for (TComponent* c : FComponents)
    c->FLoading = false;
  Loaded();
  for (TComponent* c : std::vector<TComponent*>(FComponents))
    c->Loaded();
}

// --- TControl ----------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (FParent)
    FParent->RemoveControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
    return;
  Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  Invalidate();
}

TPoint TControl::WindowOrigin() const {
  TPoint origin{0, 0};
  for (const TControl* c = this; c->FParent; c = c->FParent) {
    origin.X += c->FLeft;
    origin.Y += c->FTop;
  }
  return origin;
}

void TControl::SetVisible(bool value) {
  if (FVisible == value)
    return;
  if (!value)
    Invalidate();
  FVisible = value;
  VisibleChanged();
}

void TControl::SetEnabled(bool value) {
  if (FEnabled == value)
    return;
  FEnabled = value;
  EnabledChanged();
}

void TControl::SetAlign(TAlign value) {
  FAlign = value;
  if (FParent)
    FParent->AlignControls();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent)
    return;
  if (parent == this)
    throw std::invalid_argument("A control cannot be its own parent");
  if (FParent)
    FParent->RemoveControl(this);
  if (parent)
    parent->InsertControl(this);
}

void TControl::Invalidate() {
  if (FParent && FVisible)
    FParent->InvalidateRect(BoundsRect());
}

bool TControl::MouseCapture() const {
  const TCustomForm* form = GetParentForm(this);
  return form && form->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool value) {
  TCustomForm* form = GetParentForm(this);
  if (!form || MouseCapture() == value)
    return;
  form->SetCaptureControl(value ? this : nullptr);
}

void TControl::Perform(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  TMessage message{msg, wParam, lParam};
  WndProc(message);
}

void TControl::WndProc(TMessage& message) {
  const auto shift = static_cast<TShiftState>(message.WParam);
  const TPoint p = LParamToPoint(message.LParam);
  switch (message.Msg) {
  case msgLButtonDown:
  case msgLButtonDblClk:
    if (CaptureMouse)
      SetMouseCapture(true);
    FClicked = true;
    if (message.Msg == msgLButtonDblClk)
      DblClick();
    MouseDown(mbLeft, shift, p.X, p.Y);
    break;
  case msgRButtonDown:
  case msgRButtonDblClk:
    MouseDown(mbRight, shift, p.X, p.Y);
    break;
  case msgMButtonDown:
  case msgMButtonDblClk:
    MouseDown(mbMiddle, shift, p.X, p.Y);
    break;
  case msgMouseMove:
    MouseMove(shift, p.X, p.Y);
    break;
  case msgLButtonUp:
    if (CaptureMouse)
      SetMouseCapture(false);
    if (FClicked) {
      FClicked = false;
      if (p.X >= 0 && p.Y >= 0 && p.X < FWidth && p.Y < FHeight)
        Click();
    }
    MouseUp(mbLeft, shift, p.X, p.Y);
    break;
  case msgRButtonUp:
    MouseUp(mbRight, shift, p.X, p.Y);
    break;
  case msgMButtonUp:
    MouseUp(mbMiddle, shift, p.X, p.Y);
    break;
  case msgMouseWheel:
    MouseWheel(shift & 0xFFFF, int16_t(uint16_t(message.WParam >> 16)), p.X, p.Y);
    break;
  default:
    break;
  }
}

void TControl::MouseWheel(TShiftState shift, int notches, int x, int y) {
  if (OnMouseWheel)
    OnMouseWheel(this, shift, notches, x, y);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown)
    OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove)
    OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp)
    OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
  if (OnClick)
    OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick)
    OnDblClick(this);
}

// --- TWinControl -------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  while (!FControls.empty())
    delete FControls.back();
}

TControl* TWinControl::ControlAtPos(TPoint point) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    const TRect r = c->BoundsRect();
    if (c->Visible() && c->Enabled() && point.X >= r.Left && point.Y >= r.Top &&
        point.X < r.Right && point.Y < r.Bottom)
      return c;
  }
  return nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
  AlignControls();
}

void TWinControl::InvalidateRect(const TRect& rect) {
  const TRect clipped = IntersectRect(rect, ClientRect());
  if (!Visible() || IsEmptyRect(clipped) || !Parent())
    return;
  Parent()->InvalidateRect(
      {clipped.Left + Left(), clipped.Top + Top(), clipped.Right + Left(), clipped.Bottom + Top()});
}

void TWinControl::AlignControls() {
  for (TControl* c : FControls)
    if (c->Align() == alClient)
      c->SetBounds(0, 0, Width(), Height());
}

void TWinControl::InsertControl(TControl* control) {
  FControls.push_back(control);
  control->FParent = this;
  if (control->Align() == alClient)
    control->SetBounds(0, 0, Width(), Height());
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  control->Invalidate();
  if (TCustomForm* form = GetParentForm(this))
    form->ControlRemoved(control);
  std::erase(FControls, control);
  control->FParent = nullptr;
}

TCustomForm* GetParentForm(const TControl* control) {
  if (!control)
    return nullptr;
  while (control->Parent())
    control = control->Parent();
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}
