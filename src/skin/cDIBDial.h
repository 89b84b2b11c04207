// The rotary knob: an integer Position within Min..Max, drawn as a face image with a pointer
// glyph on a circle around the centre at an angle that follows the Position. The mouse turns it
// by dragging in straight lines (mcsLinear) or by pointing around the centre (mcsCircular),
// where a press beside the pointer steps toward the pressed point and repeats while held.
#pragma once

#include "skin/cDIBControl.h"

#include <functional>
#include <memory>

class EDIBDialError : public Exception {
public:
  using Exception::Exception;
};

// Settings objects of a knob: each change calls OnSettingsChange.
class TDIBDialSettings {
public:
  virtual ~TDIBDialSettings() = default;
  virtual const char* ClassName() const = 0;
  std::function<void()> OnSettingsChange;
  void Changed() {
    if (OnSettingsChange)
      OnSettingsChange();
  }
};

class TCustomDIBDialPointerAngles : public TDIBDialSettings {
public:
  int32_t Start() const { return FStart; }
  void SetStart(int32_t value); // 0..359
  int32_t Range() const { return FRange; }
  void SetRange(int32_t value); // 1..360; raises Resolution to it when below
  long double Resolution() const { return FResolution; }
  void SetResolution(long double value); // 0..Range
  // Copies Range, Start and Resolution of another pointer-angles object.
  void Assign(const TDIBDialSettings& source);

private:
  int32_t FStart = 0;
  int32_t FRange = 360;
  long double FResolution = 0.0L;
};
class TDIBDialPointerAngles : public TCustomDIBDialPointerAngles {
public:
  const char* ClassName() const override { return "TDIBDialPointerAngles"; }
};

class TCustomDIBDialPointerOpacities : public TDIBDialSettings {
public:
  uint8_t Active() const { return FActive; }
  void SetActive(uint8_t value);
  uint8_t Normal() const { return FNormal; }
  void SetNormal(uint8_t value);
  void Assign(const TDIBDialSettings& source);

private:
  uint8_t FActive = 255;
  uint8_t FNormal = 255;
};
class TDIBDialPointerOpacities : public TCustomDIBDialPointerOpacities {
public:
  const char* ClassName() const override { return "TDIBDialPointerOpacities"; }
};

enum TDIBDialMouseControlStyle { mcsCircular = 0, mcsLinear = 1 };
enum TDIBDialMouseLinearSensitivity { mlsVertical = 0, mlsHorizontal = 1, mlsBoth = 2 };
enum TDIBDialHitPart {
  dhpNone = 0,
  dhpPointer = 1,
  dhpSmallDecrease = 2,
  dhpSmallIncrease = 3,
  dhpPageDecrease = 4,
  dhpPageIncrease = 5,
};

class TAbstractDIBDial : public TCustomDIBControl {
public:
  explicit TAbstractDIBDial(TComponent* owner);
  ~TAbstractDIBDial() override;
  const char* ClassName() const override { return "TAbstractDIBDial"; }

  int32_t Position() const { return FPosition; }
  // Limited to Min..Max; fires OnChange on every assignment outside loading.
  void SetPosition(int32_t value);
  int32_t Min() const { return FMin; }
  void SetMin(int32_t value);
  int32_t Max() const { return FMax; }
  void SetMax(int32_t value);
  int32_t PageSize() const { return FPageSize; }
  void SetPageSize(int32_t value);
  int32_t SmallChange() const { return FSmallChange; }
  void SetSmallChange(int32_t value);
  TDIBImageLink& IndexMain() { return *FIndexMain; }
  TDIBImageLink& IndexPointer() { return *FIndexPointer; }
  TCustomDIBDialPointerAngles& PointerAngles() { return *FPointerAngles; }
  void SetPointerAngles(const TDIBDialSettings& value) { FPointerAngles->Assign(value); }
  TCustomDIBDialPointerOpacities& PointerOpacities() { return *FPointerOpacities; }
  void SetPointerOpacities(const TDIBDialSettings& value) { FPointerOpacities->Assign(value); }
  int32_t PointerNumGlyphs() const { return FPointerNumGlyphs; }
  void SetPointerNumGlyphs(int32_t value);
  int32_t PointerRadius() const { return FPointerRadius; }
  void SetPointerRadius(int32_t value);
  bool PointerRotate() const { return FPointerRotate; }
  void SetPointerRotate(bool value);
  long double HorizontalPixelsPerPosition() const { return FHorizontalPixelsPerPosition; }
  void SetHorizontalPixelsPerPosition(long double value);
  long double VerticalPixelsPerPosition() const { return FVerticalPixelsPerPosition; }
  void SetVerticalPixelsPerPosition(long double value);
  TDIBDialMouseControlStyle MouseControlStyle = mcsCircular;
  TDIBDialMouseLinearSensitivity MouseLinearSensitivity = mlsBoth;
  // While Shift is held, a linear drag moves this many times slower (1: Shift changes nothing).
  // Pressing or releasing Shift mid-drag carries on from where the knob stands.
  long double ShiftDragDivisor = 1.0L;
  TNotifyEvent OnChange;

  bool Dragging() const { return FDragging; }

  // 0..359, clockwise from 12 o'clock.
  virtual int32_t PointerAngle() = 0;
  // The pointer glyph's rectangle in client coordinates (Right and Bottom inclusive); all
  // zero without a pointer image.
  TRect PointerRect();
  // The Position a point stands for, not limited.
  virtual int32_t PositionFromPoint(int32_t x, int32_t y);
  virtual TDIBDialHitPart HitTest(int32_t x, int32_t y);
  bool AutoSizeExtent(int& width, int& height) override;

protected:
  virtual std::unique_ptr<TCustomDIBDialPointerAngles> CreatePointerAngles() = 0;
  virtual std::unique_ptr<TCustomDIBDialPointerOpacities> CreatePointerOpacities() = 0;
  virtual void PositionChanged() { Invalidate(); }
  virtual void SettingsChanged() { Invalidate(); }
  // Builds the settings objects; called by the first class that can make them.
  void CreateSettings();

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DrawContent() override;
  void ImageChanged(int index, int kind) override;

private:
  int32_t Radius(const TMemoryDIB& pointer) const;
  TRect PointerRectOf(const TMemoryDIB& pointer, TPoint size, int32_t radius);
  void BeginDrag();
  void EndDrag();

  int32_t FPosition = 0;
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPageSize = 1;
  int32_t FSmallChange = 1;
  TDIBImageLink* FIndexMain;
  TDIBImageLink* FIndexPointer;
  std::unique_ptr<TCustomDIBDialPointerAngles> FPointerAngles;
  std::unique_ptr<TCustomDIBDialPointerOpacities> FPointerOpacities;
  int32_t FPointerNumGlyphs = 1;
  int32_t FPointerRadius = -1;
  bool FPointerRotate = false;
  long double FHorizontalPixelsPerPosition = 1.0L;
  long double FVerticalPixelsPerPosition = 1.0L;
  bool FDragging = false;
  bool FDragFine = false;
  int32_t FDragStartPosition = 0;
  TPoint FDragStartPoint;
  TPoint FDragLastPoint; // where the pointer was at the last press or move of the drag
};

class TCustomDIBDial : public TAbstractDIBDial {
public:
  explicit TCustomDIBDial(TComponent* owner);
  const char* ClassName() const override { return "TCustomDIBDial"; }
  int32_t PointerAngle() override;

protected:
  std::unique_ptr<TCustomDIBDialPointerAngles> CreatePointerAngles() override;
  std::unique_ptr<TCustomDIBDialPointerOpacities> CreatePointerOpacities() override;
};

class TDIBDial : public TCustomDIBDial {
public:
  explicit TDIBDial(TComponent* owner);
  const char* ClassName() const override { return "TDIBDial"; }
  static const TPublishedProperties& PublishedProperties();
};

// Draws a horizontal strip of frames equal frames at (x, y) onto target: the frame for the
// value's place between minimum and maximum, blended with its neighbour in proportion to how
// far the value lies between the two (wrapping around from the last frame to the first when
// wrapAround is set).
void DrawGlyphStrip(TAbstractSuperDIB& strip, TAbstractSuperDIB& target, int x, int y, int value,
                    int minimum, int maximum, int frames, bool wrapAround);
