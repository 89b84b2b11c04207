// The image control: shows one image of its image list, at its natural size or scaled,
// rotated, centred or stretched. Without an image it draws nothing and still takes the mouse.
#pragma once

#include "skin/cDIBControl.h"

class TCustomDIBImage : public TCustomDIBControl {
public:
  explicit TCustomDIBImage(TComponent* owner);
  const char* ClassName() const override { return "TCustomDIBImage"; }
  static const TPublishedProperties& PublishedProperties();

  TDIBImageLink& IndexMain() { return *FIndexMain; }

  int16_t Angle() const { return FAngle; }
  void SetAngle(int16_t value);
  bool Center() const { return FCenter; }
  void SetCenter(bool value);
  long double Scale() const { return FScale; }
  void SetScale(long double value); // switches Stretch off
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value); // on switches AutoSize off

  bool AutoSizeExtent(int& width, int& height) override;

protected:
  void DrawContent() override;
  bool DrawsContent() const override { return FIndexMain->IsValid(); }
  void ImageChanged(int index, int kind) override;

private:
  TDIBImageLink* FIndexMain;
  int16_t FAngle = 0;
  bool FCenter = false;
  long double FScale = 100.0L;
  bool FStretch = false;
};

class TDIBImage : public TCustomDIBImage {
public:
  explicit TDIBImage(TComponent* owner);
  const char* ClassName() const override { return "TDIBImage"; }
};
