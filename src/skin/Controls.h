// The small user-interface base under the skin controls: components with an owner, controls
// with bounds, visibility and a parent, windowed controls that hold other controls, and the
// messages through which the mouse reaches them (with capture, as a window system does it).
//
// Windowed controls here are areas of their form's one native window, not windows of their
// own: the form routes the window's input and paint requests to them.
#pragma once

#include "platform/EditorWindow.h"
#include "platform/Object.h"
#include "platform/Region.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TComponent;
class TControl;
class TWinControl;
class TCustomForm;

// The framework's plain exception, carrying its message text.
class Exception : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// --- shift states and buttons ------------------------------------------------------------

using TShiftState = uint32_t; // TShiftFlag bits
constexpr TShiftState ssShift = sfShift;
constexpr TShiftState ssCtrl = sfCtrl;
constexpr TShiftState ssAlt = sfAlt;
constexpr TShiftState ssLeft = sfLeft;
constexpr TShiftState ssRight = sfRight;
constexpr TShiftState ssMiddle = sfMiddle;
constexpr TShiftState ssDouble = sfDouble;

constexpr TMouseButton mbLeft = TMouseButton::Left;
constexpr TMouseButton mbRight = TMouseButton::Right;
constexpr TMouseButton mbMiddle = TMouseButton::Middle;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Notches of the wheel, positive away from the user.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int Notches, int X, int Y)>;

// --- messages ----------------------------------------------------------------------------

// Mouse messages carry the shift state in WParam and the point, in the receiver's client
// coordinates, in LParam (x in the low 16 bits, y in the high 16 bits, both signed).
enum TMessageId : uint32_t {
  msgMouseMove = 0x0200,
  msgLButtonDown = 0x0201,
  msgLButtonUp = 0x0202,
  msgLButtonDblClk = 0x0203,
  msgRButtonDown = 0x0204,
  msgRButtonUp = 0x0205,
  msgRButtonDblClk = 0x0206,
  msgMButtonDown = 0x0207,
  msgMButtonUp = 0x0208,
  msgMButtonDblClk = 0x0209,
  msgMouseWheel = 0x020A, // WParam: the shift state, and the notches (signed) in bits 16 to 31
  msgMouseEnter = 0xB013, // the pointer came over a control
  msgMouseLeave = 0xB014, // the pointer left a control
};

struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
};

constexpr intptr_t PointToLParam(int x, int y) {
  return intptr_t((uint32_t(uint16_t(int16_t(y))) << 16) | uint16_t(int16_t(x)));
}
constexpr TPoint LParamToPoint(intptr_t lParam) {
  return {int16_t(uint16_t(uintptr_t(lParam))), int16_t(uint16_t(uintptr_t(lParam) >> 16))};
}

// --- components --------------------------------------------------------------------------

enum TOperation { opInsert, opRemove };

// Everything with a name, an owner and owned components. An owner destroys what it owns,
// the last created first.
class TComponent : public TObject {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  virtual const char* ClassName() const { return "TComponent"; }
  std::string Name;

  TComponent* Owner() const { return FOwner; }
  const std::vector<TComponent*>& Components() const { return FComponents; }

  // Reading the component's stored description: while it is on, setters take values unchecked
  // and change events stay silent. EndLoading calls Loaded on this component and on every
  // component it owns.
  bool Loading() const { return FLoading; }
  void BeginLoading();
  void EndLoading();
  bool Destroying() const { return FDestroying; }

protected:
  // The description has been read.
  virtual void Loaded() {}
  // A component owned by the same owner as this one (or by this one) goes away.
  virtual void Notification(TComponent* component, TOperation operation);
  // Destroys the owned components now, while the owner is still whole.
  void DestroyComponents();

private:
  void RemoveComponent(TComponent* component);

  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
  bool FLoading = false;
  bool FDestroying = false;
};

// --- controls ----------------------------------------------------------------------------

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// A non-windowed control: a rectangle of its parent that draws on the parent's surface and
// receives the mouse messages the parent routes to it.
class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  const char* ClassName() const override { return "TControl"; }

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
  void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
  void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
  void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
  virtual void SetBounds(int left, int top, int width, int height);
  // In the parent's client coordinates, Right and Bottom exclusive.
  TRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  TRect ClientRect() const { return {0, 0, FWidth, FHeight}; }
  // Where this control's client (0, 0) lies in its form's window.
  TPoint WindowOrigin() const;

  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign value);

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);

  // Asks for the control's rectangle to be painted again.
  virtual void Invalidate();

  // Handles one message (the mouse messages and the enter and leave notices).
  virtual void WndProc(TMessage& message);
  void Perform(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  // Captures the mouse on a left press, releases it on the left release.
  bool CaptureMouse = true;
  bool MouseCapture() const;
  void SetMouseCapture(bool value);

  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnClick, OnDblClick;

protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseWheel(TShiftState shift, int notches, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void VisibleChanged() { Invalidate(); }
  virtual void EnabledChanged() { Invalidate(); }

private:
  friend class TWinControl;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  bool FClicked = false;
  TAlign FAlign = alNone;
  TWinControl* FParent = nullptr;
};

// A control that holds other controls, in z-order from bottom to top.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  // Destroys the controls it holds.
  ~TWinControl() override;

  const char* ClassName() const override { return "TWinControl"; }

  const std::vector<TControl*>& Controls() const { return FControls; }
  // The topmost visible and enabled control at the point (client coordinates), or null.
  TControl* ControlAtPos(TPoint point) const;

  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override { InvalidateRect(ClientRect()); }
  // Asks for a rectangle of the client area (Right and Bottom exclusive) to be painted again.
  virtual void InvalidateRect(const TRect& rect);
  // Paints a rectangle of the client area (Right and Bottom exclusive) into the window.
  virtual void PaintWindow(const TRect& /*dirty*/) {}

  // A control held here that had the capture has just released it with the left button; the
  // point is in this control's client coordinates.
  virtual void CaptureReleased(TControl* /*control*/, TPoint /*point*/) {}

protected:
  // The controls with Align alClient follow the client area.
  void AlignControls();

private:
  friend class TControl;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  std::vector<TControl*> FControls;
};

// The form of the control, or null when it is not placed in one.
TCustomForm* GetParentForm(const TControl* control);
