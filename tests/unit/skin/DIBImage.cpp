// The memory image: size and layout, attribute rules, change notification, clip rectangle,
// shared views and copies.
#include "skin/cDIB.h"
#include "unit/skin/DIBTestImages.h"

#include "platform/WindowImage.h"

#include <climits>
#include <gtest/gtest.h>
#include <vector>

TEST(DIBImage, SizeZeroBecomesOneAndOutOfRangeIsRefused) {
  TMemoryDIB image;
  EXPECT_FALSE(image.HasBuffer());
  EXPECT_EQ(image.Width(), 0);
  image.SetSize(0, 0);
  EXPECT_EQ(image.Width(), 1);
  EXPECT_EQ(image.Height(), 1);
  EXPECT_TRUE(image.HasBuffer());
  image.SetWidth(5);
  image.SetHeight(0);
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 1);
  EXPECT_THROW(image.SetWidth(65536), EDIBError);
  EXPECT_THROW(image.SetHeight(-1), EDIBError);
  EXPECT_EQ(image.Width(), 5);
  image.SetSize(65535, 1);
  EXPECT_EQ(image.ByteCount(), 65535u * 4);
}

TEST(DIBImage, RowsAreStoredBottomUpWithoutPadding) {
  TMemoryDIB image(3, 2);
  EXPECT_EQ(image.ScanLine(1), image.Pixels());
  EXPECT_EQ(image.ScanLine(0), image.Pixels() + 3);
  image.PixelAt(2, 0) = Px(1, 2, 3, 4);
  // Top row, last column: byte (Height - 1 - 0) * Width * 4 + 2 * 4.
  EXPECT_EQ(image.Bytes()[12 + 8], 1);
  EXPECT_EQ(image.Bytes()[12 + 11], 4);
  // A new buffer starts zeroed; a new size does not keep the contents.
  image.SetSize(3, 3);
  for (size_t i = 0; i < image.ByteCount(); ++i) {
    ASSERT_EQ(image.Bytes()[i], 0) << i;
  }
}

TEST(DIBImage, MaskedAndTransparentExcludeEachOther) {
  TMemoryDIB image(1, 1);
  image.SetMasked(true);
  image.SetTransparent(true);
  EXPECT_FALSE(image.Masked());
  EXPECT_TRUE(image.Transparent());
  image.SetMasked(true);
  EXPECT_TRUE(image.Masked());
  EXPECT_FALSE(image.Transparent());
  image.SetMasked(false);
  EXPECT_FALSE(image.Transparent());
}

TEST(DIBImage, AngleIsReducedInto0To359) {
  TMemoryDIB image(1, 1);
  image.SetAngle(-1);
  EXPECT_EQ(image.Angle(), 359);
  image.SetAngle(720);
  EXPECT_EQ(image.Angle(), 0);
  image.SetAngle(INT_MIN);
  EXPECT_EQ(image.Angle(), NormalizeAngle(INT_MIN % 360));
  EXPECT_GE(image.Angle(), 0);
  EXPECT_LT(image.Angle(), 360);
}

TEST(DIBImage, TransparentColourFollowsTheMode) {
  TMemoryDIB image(2, 2);
  // Bottom-left pixel = first pixel of the buffer: blue 0x74, green 0xA6, red 0xBE.
  image.PixelAt(0, 1) = Px(0x74, 0xA6, 0xBE, 255);
  image.SetTransparentColor(0x000000FF);
  EXPECT_EQ(image.TransparentMode(), tmAuto);
  EXPECT_EQ(image.TransparentColor(), 7644862u);
  image.SetTransparentMode(tmFixed);
  EXPECT_EQ(image.TransparentColor(), 0x000000FFu);
  // Pixel order: red in the third byte of the little-endian word.
  EXPECT_EQ(image.TransparentKey(), 0x00FF0000u);
  image.SetTransparentColor(7644862);
  EXPECT_EQ(image.TransparentKey(), 0x00BEA674u);
}

TEST(DIBImage, DrawVariantFollowsOpacityMaskAndTransparency) {
  TMemoryDIB image(1, 1);
  EXPECT_EQ(image.DrawVariant(), dvCopy);
  image.SetOpacity(254);
  EXPECT_EQ(image.DrawVariant(), dvBlend);
  image.SetMasked(true);
  EXPECT_EQ(image.DrawVariant(), dvMaskedBlend);
  image.SetOpacity(255);
  EXPECT_EQ(image.DrawVariant(), dvMasked);
  image.SetTransparent(true);
  EXPECT_EQ(image.DrawVariant(), dvTransparent);
  image.SetOpacity(0);
  EXPECT_EQ(image.DrawVariant(), dvTransparentBlend);
  image.SetTransparent(false);
  EXPECT_EQ(image.DrawVariant(), dvBlend);
}

TEST(DIBImage, EveryPropertyAssignmentFiresOnChangeOncePerOutermostUpdate) {
  TMemoryDIB image(1, 1);
  int changes = 0;
  image.OnChange = [&](TAbstractSuperDIB& sender) {
    EXPECT_EQ(&sender, &image);
    ++changes;
  };
  // Each assignment is a change, also one that keeps the value.
  image.SetOpacity(100);
  image.SetOpacity(100);
  EXPECT_EQ(changes, 2);
  image.SetAngle(0);
  image.SetAutoSize(false);
  image.SetMasked(false);
  image.SetTransparent(false);
  image.SetScale(100);
  image.SetScaleX(100);
  image.SetScaleY(100);
  image.SetTransparentColor(0);
  image.SetTransparentMode(tmAuto);
  image.SetWidth(1);
  image.SetHeight(1);
  EXPECT_EQ(changes, 13);
  image.BeginUpdate();
  image.BeginUpdate();
  image.SetAngle(10);
  image.SetSize(4, 4);
  image.SetTransparent(true);
  image.EndUpdate();
  EXPECT_EQ(changes, 13);
  EXPECT_EQ(image.DrawVariant(), dvTransparentBlend); // chosen even while updating
  image.EndUpdate();
  EXPECT_EQ(changes, 14);
  image.BeginUpdate();
  image.EndUpdate(); // nothing changed
  image.EndUpdate(); // unbalanced end is harmless
  EXPECT_EQ(changes, 14);
}

TEST(DIBImage, SettingTheSameSizeKeepsThePixels) {
  TMemoryDIB image(2, 2);
  FillWithMarkers(image);
  const TPixel32* before = image.Pixels();
  image.SetSize(2, 2);
  EXPECT_EQ(image.Pixels(), before);
  EXPECT_EQ(image.PixelAt(1, 1), Marker(1, 1));
}

TEST(DIBImage, ClipRectFollowsSizeOnlyWhileItCoversTheWholeImage) {
  TMemoryDIB image(20, 10);
  EXPECT_EQ(image.ClipRect(), (TRect{0, 0, 19, 9}));
  image.SetSize(30, 40);
  EXPECT_EQ(image.ClipRect(), (TRect{0, 0, 29, 39}));
  image.SetClipRect(TRect{10, 10, 5, 5});
  EXPECT_EQ(image.ClipRect(), (TRect{5, 5, 10, 10}));
  image.SetSize(50, 50);
  EXPECT_EQ(image.ClipRect(), (TRect{5, 5, 10, 10}));
  image.SetClipRect(TRect{-5, 70, 100, -3});
  EXPECT_EQ(image.ClipRect(), (TRect{0, 0, 49, 49}));
}

TEST(DIBImage, ResetAttributesRestoresTheDrawingDefaults) {
  TMemoryDIB image(1, 1);
  image.SetAngle(30);
  image.SetMasked(true);
  image.SetOpacity(3);
  image.SetScaleX(50);
  image.SetScaleY(70);
  image.SetAutoSize(true);
  image.ResetAttributes();
  EXPECT_EQ(image.Angle(), 0);
  EXPECT_FALSE(image.Masked());
  EXPECT_FALSE(image.Transparent());
  EXPECT_EQ(image.Opacity(), 255);
  EXPECT_EQ(image.ScaleX(), 100.0);
  EXPECT_EQ(image.ScaleY(), 100.0);
  EXPECT_TRUE(image.AutoSize()); // not one of the reset attributes
  // The rule follows at once: a scratch image reset after drawing at 175 and then set to the
  // same opacity 255 again must copy, not blend.
  EXPECT_EQ(image.DrawVariant(), dvCopy);
  image.SetOpacity(255);
  EXPECT_EQ(image.DrawVariant(), dvCopy);
}

TEST(DIBImage, ShareViewPointsAtTheSourcePixelsWithoutOwningThem) {
  TMemoryDIB item(3, 2);
  FillWithMarkers(item);
  item.SetOpacity(175);
  item.SetTransparentMode(tmFixed);
  item.SetTransparentColor(0x123456);
  TMemoryDIB scratch(1, 1);
  scratch.ShareView(item);
  EXPECT_FALSE(scratch.OwnsBuffer());
  EXPECT_EQ(scratch.Pixels(), item.Pixels());
  EXPECT_EQ(scratch.Width(), 3);
  EXPECT_EQ(scratch.Height(), 2);
  EXPECT_EQ(scratch.Opacity(), 175);
  EXPECT_EQ(scratch.DrawVariant(), dvBlend);
  EXPECT_EQ(scratch.TransparentColor(), 0x123456u);
  EXPECT_EQ(scratch.ClipRect(), (TRect{0, 0, 2, 1}));
  // Attributes of the view are its own.
  scratch.SetAngle(90);
  EXPECT_EQ(item.Angle(), 0);
  // A second view switches to the other image; a new size gives the view its own buffer.
  TMemoryDIB other(5, 5);
  scratch.ShareView(other);
  EXPECT_EQ(scratch.Pixels(), other.Pixels());
  scratch.SetSize(2, 2);
  EXPECT_TRUE(scratch.OwnsBuffer());
  EXPECT_NE(scratch.Pixels(), other.Pixels());
  EXPECT_EQ(item.PixelAt(2, 1), Marker(2, 1));
}

TEST(DIBImage, AssignCopiesPixelsAttributesAndFileNames) {
  TMemoryDIB source(4, 3);
  FillWithMarkers(source);
  source.SetMasked(true);
  source.SetOpacity(9);
  source.ImageFilename = "a.png";
  source.StoreData = false;
  TMemoryDIB copy(1, 1);
  int changes = 0;
  copy.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  copy.Assign(source);
  EXPECT_EQ(changes, 1);
  EXPECT_NE(copy.Pixels(), source.Pixels());
  EXPECT_EQ(copy.PixelAt(3, 2), Marker(3, 2));
  EXPECT_EQ(copy.DrawVariant(), dvMaskedBlend);
  EXPECT_EQ(copy.ImageFilename, "a.png");
  EXPECT_FALSE(copy.StoreData);
}

namespace {

class TFakeSection final : public TWindowImage {
public:
  TFakeSection(int w, int h) : FWidth(w), FHeight(h), FBits(static_cast<size_t>(w) * h * 4) {}
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  uint8_t* Bits() override { return FBits.data(); }
  void* NativeHandle() const override { return const_cast<TFakeSection*>(this); }

private:
  int FWidth;
  int FHeight;
  std::vector<uint8_t> FBits;
};

} // namespace

TEST(DIBImage, WindowImageKeepsItsPixelsInAPlatformSection) {
  int created = 0;
  SetWindowImageFactory([&](int w, int h) {
    ++created;
    return std::make_unique<TFakeSection>(w, h);
  });
  TWinDIB image(7, 5);
  EXPECT_EQ(created, 1);
  ASSERT_NE(image.WindowImage(), nullptr);
  EXPECT_NE(image.WindowImage()->NativeHandle(), nullptr);
  EXPECT_EQ(image.WindowImage()->Width(), 7);
  EXPECT_EQ(image.Bytes(), image.WindowImage()->Bits());
  image.Fill(0x00FF0000);
  EXPECT_EQ(image.WindowImage()->Bits()[0], 0xFF); // blue first
  SetWindowImageFactory([](int, int) -> std::unique_ptr<TWindowImage> {
    throw EWindowsError(8, "Not enough memory resources are available to process this command.");
  });
  try {
    image.SetSize(9, 9);
    FAIL() << "no error";
  } catch (const EWindowsError& e) {
    EXPECT_STREQ(e.what(), "Windows error (8) Not enough memory resources are available to "
                           "process this command.");
  }
  SetWindowImageFactory(nullptr);
  EXPECT_FALSE(image.HasBuffer());
  image.SetSize(2, 2);
  EXPECT_TRUE(image.HasBuffer());
}
