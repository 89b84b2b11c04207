// The containers of the skin controls: a windowed control that owns an off-screen image of its
// client area (the back buffer) and composes its skin controls onto it, bottom to top, each
// through a scratch image of its size with its opacity; then copies the dirty rectangle to the
// screen in one step. The background is painted again only where a control or a paint hook drew
// over it since it was last painted there. TDIBImageContainer adds a background image, centred
// or tiled.
#pragma once

#include "skin/Forms.h"
#include "skin/cDIB.h"
#include "skin/cDIBImageList.h"

#include <functional>
#include <memory>
#include <vector>

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
  // For an AfterPaint hook: it drew only inside this rectangle of the client area (empty: it
  // drew nothing). A hook that does not say so is taken to have drawn anywhere.
  void HookDrewOnly(const TRect& area);

  TCustomDIBControl* ActiveControl() const { return FActiveControl; }
  // Gives a control the container's focus (the one before it loses it).
  void SetActiveControl(TCustomDIBControl* control);

  void SetBounds(int left, int top, int width, int height) override;
  // The paint cycle for a dirty rectangle of the client area (Right and Bottom exclusive).
  void PaintWindow(const TRect& dirty) override;
  void CaptureReleased(TControl* control, TPoint point) override;

protected:
  // What the background is drawn from: when it changes, the whole dirty rectangle is painted.
  struct TBackgroundKey {
    TColor Colour = 0;
    double Scale = 1.0;
    const void* Pixels = nullptr;
    int Width = 0, Height = 0, Variant = 0, Opacity = 0, Layout = 0;
    friend bool operator==(const TBackgroundKey&, const TBackgroundKey&) = default;
  };
  virtual TBackgroundKey BackgroundKey() const;
  // Draws what lies under the controls: Color over the dirty rectangle (of the back buffer).
  virtual void PaintBackground(const TRect& dirty);
  // The back buffer no longer shows the background anywhere it is not painted again.
  void ForgetBackground() { FBackgroundKnown = false; }
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void SizeBackBuffer();
  void SetClip(const TRect& area);
  void RestoreBackground(const TRect& dirty);
  void NoteDrawnOver(const TRect& area);
  TMemoryDIB& ScratchFor(int width, int height);

  TWinDIB FBackBuffer;
  std::vector<std::unique_ptr<TMemoryDIB>> FScratch;
  // Outside these rectangles of the back buffer, it shows the background of FBackgroundKey.
  bool FBackgroundKnown = false;
  TBackgroundKey FBackgroundKey;
  std::vector<TRect> FDrawnOver;
  TRect FHookArea{};
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
  TBackgroundKey BackgroundKey() const override;
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
