// The containers of the skin controls: a windowed control that owns an off-screen image of its
// client area (the back buffer) and composes its skin controls onto it, bottom to top, each
// through one shared scratch image with its opacity; then copies the dirty rectangle to the
// screen in one step. TDIBImageContainer adds a background image, centred or tiled.
#pragma once

#include "skin/Forms.h"
#include "skin/cDIB.h"
#include "skin/cDIBImageList.h"

#include <functional>

class TCustomDIBControl;

enum TBorderDrawPosition { bdOverControls = 0, bdUnderControls = 1 };
enum TTileMethod { tmCenter = 0, tmTile = 1 };

using TDIBPaintEvent = std::function<void(TObject* Sender, TAbstractSuperDIB& Buffer)>;

class TCustomDIBContainer : public TWinControl {
public:
  explicit TCustomDIBContainer(TComponent* owner);
  ~TCustomDIBContainer() override;
  const char* ClassName() const override { return "TCustomDIBContainer"; }

  TColor Color = clBtnFace;
  TBorderDrawPosition BorderDrawPosition = bdOverControls;
  TDIBPaintEvent BeforePaint, AfterPaint;
  TNotifyEvent OnActiveControlChange;
  int TabOrder = 0;
  bool UseDockManager = false;

  // The back buffer holds the client area on the screen: its size times the form's scale.
  TWinDIB& BackBuffer() { return FBackBuffer; }
  // The form's display scale (1 outside a form).
  double PaintScale() const;
  TMemoryDIB& ScratchBuffer() { return FScratchBuffer; }

  TCustomDIBControl* ActiveControl() const { return FActiveControl; }
  // Gives a control the container's focus (the one before it loses it).
  void SetActiveControl(TCustomDIBControl* control);

  void SetBounds(int left, int top, int width, int height) override;
  // The paint cycle for a dirty rectangle of the client area (Right and Bottom exclusive).
  void PaintWindow(const TRect& dirty) override;
  void CaptureReleased(TControl* control, TPoint point) override;

protected:
  // Draws what lies under the controls: Color over the dirty rectangle (of the back buffer).
  virtual void PaintBackground(const TRect& dirty);
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void SizeBackBuffer();

  TWinDIB FBackBuffer;
  TMemoryDIB FScratchBuffer{1, 1};
  TCustomDIBControl* FActiveControl = nullptr;
};

class TCustomDIBImageContainer : public TCustomDIBContainer {
public:
  explicit TCustomDIBImageContainer(TComponent* owner);
  const char* ClassName() const override { return "TCustomDIBImageContainer"; }

  TDIBImageLink& IndexImage() { return FIndexImage; }
  TCustomDIBImageList* DIBImageList() const { return FIndexImage.DIBImageList(); }
  void SetDIBImageList(TCustomDIBImageList* value);
  TTileMethod TileMethod() const { return FTileMethod; }
  void SetTileMethod(TTileMethod value);

protected:
  void PaintBackground(const TRect& dirty) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  TDIBImageLink FIndexImage;
  TComponent* FImageListComponent = nullptr;
  TTileMethod FTileMethod = tmCenter;
};

class TDIBImageContainer : public TCustomDIBImageContainer {
public:
  using TCustomDIBImageContainer::TCustomDIBImageContainer;
  const char* ClassName() const override { return "TDIBImageContainer"; }
};
