// A form: the top of a tree of controls, and the one native window they share. It turns the
// window's input into messages for the control under the pointer (or the one holding the
// capture), tracks which control the pointer is over, hands paint requests to its windowed
// controls and runs the timers of its components.
#pragma once

#include "skin/Controls.h"
#include "skin/cDIB.h"

#include <memory>
#include <string>

class TCustomForm;

// A timer of a form's window; it ticks only while the form has a window.
class TFormTimerClient {
public:
  virtual ~TFormTimerClient() = default;
  virtual void FormTimerTick() = 0;
};

// Platform colour values of the colours the forms name.
constexpr TColor clBlack = 0x00000000;
constexpr TColor clBtnFace = 0x00F0F0F0;
constexpr TColor clWindowText = 0x00000000;

struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  TColor Color = clWindowText;
  int Charset = 1; // the default character set
};

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class TCustomForm : public TWinControl, public TEditorWindowClient {
public:
  explicit TCustomForm(TComponent* owner);
  // Destroys the components, then the window.
  ~TCustomForm() override;

  const char* ClassName() const override { return "TCustomForm"; }

  std::string Caption;
  TFormBorderStyle BorderStyle = bsSizeable;
  // The colour of the form's own area (its controls cover all of it here).
  TColor Color = clBtnFace;
  TFont Font;
  int PixelsPerInch = 96;
  int TextHeight = 13;
  bool OldCreateOrder = false;
  bool HorzScrollBarVisible = true;
  bool VertScrollBarVisible = true;
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientWidth(int value) { SetWidth(value); }
  void SetClientHeight(int value) { SetHeight(value); }

  // Makes the form's window a child of the host's window at the form's place and size. False,
  // leaving no window, when the window system refuses (no display, an invalid parent).
  bool CreateWindowIn(void* parent, intptr_t hostData);
  TEditorWindow* Window() const { return FWindow.get(); }
  // Screen pixels per unit of the form (DisplayScale.h): the window is the form's bounds times
  // the scale, paint requests and pointer positions are converted at the window. A change
  // resizes and repaints the window.
  double DisplayScale() const { return FDisplayScale; }
  void SetDisplayScale(double value);
  // The window's size on the screen.
  int ScreenWidth() const;
  int ScreenHeight() const;
  // True from CreateWindowIn until the window system destroys the window or the form dies.
  bool HasWindow() const { return FWindow && FWindow->Alive(); }
  void ShowWindow();
  void SetBounds(int left, int top, int width, int height) override;

  // One round of the window's messages, then the paint of what is invalid.
  void ProcessMessages();
  void Update();
  void InvalidateRect(const TRect& rect) override;

  TControl* CaptureControl() const { return FCaptureControl; }
  void SetCaptureControl(TControl* control);

  // Timers: an id per client, started and stopped on the form's window.
  uint32_t RegisterTimer(TFormTimerClient& client);
  void UnregisterTimer(uint32_t id);
  // False when the window has no timer left; a form without a window starts nothing.
  bool StartTimer(uint32_t id, uint32_t intervalMs);
  void StopTimer(uint32_t id);

  // TEditorWindowClient
  void WindowPaint(const TRect& dirty) override;
  void WindowMouse(const TWindowMouseEvent& event) override;
  void WindowTimer(uint32_t id) override;
  void WindowDestroyed() override;

  // A control leaves the form's tree (destroyed or placed elsewhere): forget it.
  void ControlRemoved(TControl* control);

private:
  // The deepest control at a point of the window, and the point in its client coordinates.
  TControl* ControlAtWindowPoint(TPoint point, TPoint& local);
  void TrackMouse(TControl* target);
  void Deliver(TControl* control, uint32_t msg, TShiftState shift, TPoint windowPoint);
  void PlaceWindow();

  std::unique_ptr<TEditorWindow> FWindow;
  double FDisplayScale = 1.0;
  TControl* FCaptureControl = nullptr;
  TControl* FMouseControl = nullptr;
  struct TTimerEntry {
    uint32_t Id;
    TFormTimerClient* Client;
  };
  std::vector<TTimerEntry> FTimers;
  uint32_t FNextTimerId = 1;
};

class TForm : public TCustomForm {
public:
  using TCustomForm::TCustomForm;
  const char* ClassName() const override { return "TForm"; }
};
