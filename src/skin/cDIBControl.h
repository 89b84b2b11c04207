// The base of the skin controls: non-windowed controls that draw themselves onto a surface
// their container hands them, blended onto the container's back buffer with their opacity.
// It adds hover bookkeeping, click auto-repeat, image links that follow the control's image
// list, and the registration of template properties.
#pragma once

#include "skin/Controls.h"
#include "skin/Forms.h"
#include "skin/cDIB.h"
#include "skin/cDIBImageList.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TCustomDIBControl;
class TCustomDIBContainer;

class EDIBControlError : public Exception {
public:
  using Exception::Exception;
};

// Raised when the window system has no timer left.
class EOutOfResources : public Exception {
public:
  using Exception::Exception;
};

// --- published properties, for the template registration ----------------------------------

enum TTypeKind {
  tkUnknown,
  tkInteger,
  tkChar,
  tkEnumeration,
  tkFloat,
  tkString,
  tkSet,
  tkClass,
  tkMethod,
  tkWChar,
  tkLString,
  tkWString,
  tkVariant,
  tkArray,
  tkRecord,
  tkInterface,
  tkInt64,
  tkDynArray,
};

struct TPublishedProperty {
  std::string_view Name;
  TTypeKind Kind;
  bool IsComponent = false; // tkClass: the property holds a component
};

// The published properties of one class, and those it inherits.
struct TPublishedProperties {
  std::span<const TPublishedProperty> Own;
  const TPublishedProperties* Inherited = nullptr;
  const TPublishedProperty* Find(std::string_view name) const;
};

// --- the timer -----------------------------------------------------------------------------

// A component timer ticking on the window of its control's form. Changing Enabled, Interval or
// OnTimer restarts it; it runs only while Enabled, Interval > 0 and OnTimer is set.
class TDIBTimer : public TComponent, private TFormTimerClient {
public:
  explicit TDIBTimer(TControl* owner);
  ~TDIBTimer() override;
  const char* ClassName() const override { return "TDIBTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t value);
  void SetOnTimer(TNotifyEvent handler);
  // Started on a form's window and not stopped since.
  bool Running() const { return FForm != nullptr; }

private:
  void FormTimerTick() override;
  void Restart();
  void Halt();

  TControl* FControl;
  bool FEnabled = false;
  uint32_t FInterval = 1000;
  TNotifyEvent FOnTimer;
  TCustomForm* FForm = nullptr;
  uint32_t FId = 0;
};

// --- the control base ----------------------------------------------------------------------

// The last left-button press as the window system delivered it.
struct TStoredPress {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
};

class TCustomDIBControl : public TControl {
public:
  // Raises "Owner cannot be nil" without an owner and "Parent must be a TDIBContainer" when the
  // owner neither is a container nor owns one.
  explicit TCustomDIBControl(TComponent* owner);
  ~TCustomDIBControl() override;
  const char* ClassName() const override { return "TCustomDIBControl"; }
  static const TPublishedProperties& PublishedProperties();

  uint8_t Opacity() const { return FOpacity; }
  // Stores and repaints only when the value changes.
  void SetOpacity(uint8_t value);
  TCustomDIBImageList* DIBImageList() const { return FDIBImageList; }
  void SetDIBImageList(TCustomDIBImageList* value);
  // Controls moved along when this one moves.
  std::vector<TControl*>& Children() { return FChildren; }
  int16_t DIBTabOrder = -1;
  char Accelerator = 0;

  bool DIBFocused() const { return FDIBFocused; }
  bool MouseInside() const { return FMouseInside; }
  bool Hovered() const { return FHovered; }
  bool ButtonPressed(TMouseButton button) const { return FPressedButtons & ButtonBit(button); }
  TShiftState LastShift() const { return FLastShift; }

  TDIBTimer& RepeatTimer() { return *FRepeatTimer; }
  bool AutoRepeat = false;
  uint32_t AutoRepeatInterval = 250;
  bool CancelRepeat() const { return FCancelRepeat; }
  const TStoredPress& StoredPress() const { return FStoredPress; }

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  // The size the control wants; false when it has none.
  virtual bool AutoSizeExtent(int& width, int& height);

  const std::vector<std::string>& TemplateProperties() const { return FTemplateProperties; }

  TNotifyEvent OnEnter, OnExit, OnMouseEnter, OnMouseLeave, OnPaintStart, OnPaintEnd;

  // The image this control draws on during a paint.
  TAbstractSuperDIB* Surface() const { return FSurface; }
  // One paint: the part of backBuffer under the control is copied onto surface, the control
  // draws on it, and the result is drawn back with the control's opacity. At a display scale
  // the back buffer and the surface are in screen pixels: the control's bounds times scale.
  // False when the control draws nothing and the back buffer is left as it was.
  bool PaintOnto(TAbstractSuperDIB& backBuffer, TAbstractSuperDIB& surface, double scale = 1.0);
  // During a paint: its display scale, and the image of a link to draw at it.
  double PaintScale() const { return FPaintScale; }
  // The control's size on the screen at the paint's scale (its surface's size).
  TPoint PaintSize() const;
  TMemoryDIB* PaintImage(const TDIBImageLink& link) const { return link.GetImageFor(FPaintScale); }
  virtual void ExtendDirtyRect(TRect& /*rect*/) {}
  virtual void RequestCancelRepeat() { FCancelRepeat = true; }

  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* parent) override;
  void WndProc(TMessage& message) override;

protected:
  virtual void PaintStart();
  virtual void PaintEnd();
  virtual void HighlightOn() {}
  virtual void HighlightOff() {}
  virtual void DIBEnter();
  virtual void DIBExit();
  virtual void MouseEnter();
  virtual void MouseLeave();
  // An image of one of the control's links changed (lcChanged) or went away (lcDeleted).
  virtual void ImageChanged(int /*index*/, int /*kind*/) {}
  virtual void DrawContent() {}
  // False for a control that draws nothing of its own (an image control without an image).
  virtual bool DrawsContent() const { return true; }

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // A new image link of this control, following its image list.
  TDIBImageLink& AddImageLink();
  // Re-applies the auto-size: with AutoSize on, takes the size AutoSizeExtent answers.
  void ApplyAutoSize();
  // Appends a published property of the class to TemplateProperties.
  void RegisterTemplateProperty(std::string_view name, const TPublishedProperties& properties);

private:
  friend class TCustomDIBContainer;
  static uint32_t ButtonBit(TMouseButton button) { return 1u << uint32_t(button); }
  void RepeatTick();
  TCustomDIBContainer* Container() const;

  std::vector<std::unique_ptr<TDIBImageLink>> FImageLinks;
  std::vector<std::string> FTemplateProperties;
  TAbstractSuperDIB* FSurface = nullptr;
  double FPaintScale = 1.0;
  uint8_t FOpacity = 255;
  TCustomDIBImageList* FDIBImageList = nullptr;
  TComponent* FDIBImageListComponent = nullptr;
  std::vector<TControl*> FChildren;
  bool FDIBFocused = false;
  bool FMouseInside = false;
  bool FHovered = false;
  uint32_t FPressedButtons = 0;
  TShiftState FLastShift = 0;
  TDIBTimer* FRepeatTimer = nullptr;
  bool FCancelRepeat = false;
  TStoredPress FStoredPress;
  bool FAutoSize = false;
  bool FSettingBounds = false;
};
