// 32-bit images of the skin toolkit and the operations that draw them onto one another.
//
// Pixels are four bytes, blue, green, red, alpha. Rows are stored bottom row first: the buffer
// starts with the bottom row and row y counted from the top starts at (Height - 1 - y) * Width.
// Every position and rectangle at the interface is top-down, (0, 0) being the top-left pixel.
// Colours at the interface are platform colour values 0x00BBGGRR.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Region.h"

class TWindowImage;

// Platform colour value 0x00BBGGRR.
using TColor = uint32_t;

struct TPixel32 {
  uint8_t B;
  uint8_t G;
  uint8_t R;
  uint8_t A;
};
static_assert(sizeof(TPixel32) == 4);

class EDIBError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TTransparentMode : uint8_t { tmAuto = 0, tmFixed = 1 };

// The pixel rule used when an image is the source of a draw.
enum TDrawVariant : uint8_t {
  dvCopy,
  dvBlend,
  dvMasked,
  dvMaskedBlend,
  dvTransparent,
  dvTransparentBlend
};

// The colour in pixel order: blue in the lowest byte of the little-endian pixel word, alpha 0.
constexpr uint32_t ColorToPixelKey(TColor colour) {
  return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr TPixel32 ColorToPixel(TColor colour, uint8_t alpha = 0) {
  return TPixel32{static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                  static_cast<uint8_t>(colour), alpha};
}
constexpr TColor PixelToColor(TPixel32 p) {
  return static_cast<TColor>(p.R) | (static_cast<TColor>(p.G) << 8) |
         (static_cast<TColor>(p.B) << 16);
}

class TAbstractSuperDIB {
public:
  TAbstractSuperDIB();
  virtual ~TAbstractSuperDIB();
  TAbstractSuperDIB(const TAbstractSuperDIB&) = delete;
  TAbstractSuperDIB& operator=(const TAbstractSuperDIB&) = delete;

  // --- size and pixels -------------------------------------------------------------------
  // 0 before the first size assignment (no buffer); a size of 0 is made 1.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // An assignment reallocates the buffer when the size differs (contents are not kept) and
  // keeps it otherwise; either way it runs Changed, as every property assignment does.
  // Sizes are 16-bit: a value outside 0..65535 raises EDIBError.
  void SetWidth(int value) { SetSize(value, FHeight); }
  void SetHeight(int value) { SetSize(FWidth, value); }
  void SetSize(int width, int height);

  bool HasBuffer() const { return FBits != nullptr; }
  // Bottom-up buffer of Width * Height pixels (null without a buffer).
  TPixel32* Pixels() { return FBits; }
  const TPixel32* Pixels() const { return FBits; }
  uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(FBits); }
  const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(FBits); }
  size_t PixelCount() const { return static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight); }
  size_t ByteCount() const { return PixelCount() * 4; }
  // Row y counted from the top (0 <= y < Height).
  TPixel32* ScanLine(int y) { return FBits + static_cast<size_t>(FHeight - 1 - y) * FWidth; }
  const TPixel32* ScanLine(int y) const {
    return FBits + static_cast<size_t>(FHeight - 1 - y) * FWidth;
  }
  TPixel32& PixelAt(int x, int y) { return ScanLine(y)[x]; }
  const TPixel32& PixelAt(int x, int y) const { return ScanLine(y)[x]; }

  // --- attributes ------------------------------------------------------------------------
  int Angle() const { return FAngle; }
  void SetAngle(int value); // reduced into 0..359
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  bool Masked() const { return FMasked; }
  void SetMasked(bool value); // true clears Transparent
  uint8_t Opacity() const { return FOpacity; }
  void SetOpacity(uint8_t value);
  // Percent; Scale reads the horizontal scale and SetScale sets both.
  double Scale() const { return FScaleX; }
  void SetScale(double value);
  double ScaleX() const { return FScaleX; }
  double ScaleY() const { return FScaleY; }
  void SetScaleX(double value);
  void SetScaleY(double value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value); // true clears Masked
  // tmFixed: the stored colour; tmAuto: the colour of the first (bottom-left) pixel.
  TColor TransparentColor() const;
  TColor StoredTransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor value); // also sets TransparentKey
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode value);
  // The stored colour in pixel order (low three bytes), whatever the mode: the key that
  // unrotated drawing compares source pixels with. Rotated and scaled drawing key on the
  // colour TransparentColor reports (the first pixel's under tmAuto).
  uint32_t TransparentKey() const { return FTransparentKey; }
  TDrawVariant DrawVariant() const { return FDrawVariant; }

  // Inclusive rectangle limiting where other images draw onto this one.
  const TRect& ClipRect() const { return FClipRect; }
  // Corners are swapped when reversed, then limited to the image.
  void SetClipRect(const TRect& rect);

  // Angle 0, not masked, opacity 255, both scales 100, not transparent. The pixel rule follows
  // at once (a rule left from the old attributes would draw a reset image wrongly); no change
  // event.
  void ResetAttributes();
  // Takes Angle, AutoSize, Masked, Opacity, the scales, Transparent and the transparent colour,
  // key and mode of the source.
  void AssignAttributes(const TAbstractSuperDIB& source);
  // Size, pixels and attributes of the source, in one change.
  virtual void Assign(const TAbstractSuperDIB& source);

  // --- change notification ---------------------------------------------------------------
  std::function<void(TAbstractSuperDIB& sender)> OnChange;
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate(); // the outermost end runs one Changed when anything changed meanwhile
  bool Updating() const { return FUpdateCount > 0; }
  // Chooses the draw variant again and fires OnChange unless an update is in progress.
  void Changed();

  // --- drawing (this image is the source s) ------------------------------------------------
  // Draws the w x h area at source offset (sx, sy) onto dest at (x, y) through this image's
  // pixel rule, rotated and scaled when Angle or a scale asks for it.
  void Draw(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h, int w);
  // The whole image at (x, y).
  void Draw(int x, int y, TAbstractSuperDIB& dest) { Draw(x, y, 0, 0, dest, FHeight, FWidth); }
  // Exact copy, ignoring angle, scale and pixel rule.
  void DrawCopy(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h, int w);
  // Copies only the alpha bytes.
  void DrawAlpha(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h, int w);
  // Writes the source alpha into all four bytes of each destination pixel.
  void DrawAlphaAsGrey(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h, int w);
  // Fills the target (whatever its size) with this image rotated and scaled about the centres
  // of both. Each target pixel takes the source pixel under its own centre mapped back
  // (nearest neighbour); outside the picture it takes 0 when masked, else the transparent
  // colour with alpha 0, so that area is not drawn by the image's own rule.
  void RenderTransformed(TAbstractSuperDIB& target) const;

  // --- drawing (this image is the destination d) ------------------------------------------
  void Fill(TColor colour);                                 // alpha byte 0
  void FillRect(TColor colour, int x, int y, int w, int h); // limited to the image

protected:
  // Backing store: give the buffer for width x height pixels, or release it.
  virtual TPixel32* AllocateBuffer(int width, int height) = 0;
  virtual void ReleaseBuffer() = 0;
  // For a view: releases the current buffer and points at pixels owned elsewhere (null leaves
  // the image without a buffer).
  void SetBufferView(TPixel32* bits, int width, int height);
  void ReleaseCurrentBuffer();

private:
  void ChooseDrawVariant();
  void DrawTransformed(int x, int y, TAbstractSuperDIB& dest, int h, int w);

  TPixel32* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  int FAngle = 0;
  bool FAutoSize = false;
  bool FMasked = false;
  uint8_t FOpacity = 255;
  double FScaleX = 100.0;
  double FScaleY = 100.0;
  bool FTransparent = false;
  TColor FTransparentColor = 0;
  uint32_t FTransparentKey = 0;
  TTransparentMode FTransparentMode = tmAuto;
  TDrawVariant FDrawVariant = dvCopy;
  TRect FClipRect{};
  int FUpdateCount = 0;
  bool FChangePending = false;
};

// An image whose buffer is ordinary memory, owned by the image, or borrowed from another image
// while it is a shared view.
class TCustomMemoryDIB : public TAbstractSuperDIB {
public:
  TCustomMemoryDIB() = default;
  TCustomMemoryDIB(int width, int height) { SetSize(width, height); }
  ~TCustomMemoryDIB() override;

  bool OwnsBuffer() const { return FOwned; }
  // Frees any buffer of its own, stops owning one, takes the source's attributes and size and
  // points at the source's pixels without copying. The view stays valid only as long as the
  // source keeps its buffer; a later change of size gives the view a buffer of its own.
  void ShareView(TAbstractSuperDIB& source);

protected:
  TPixel32* AllocateBuffer(int width, int height) override;
  void ReleaseBuffer() override;

private:
  std::unique_ptr<TPixel32[]> FStorage;
  bool FOwned = true;
};

// The stored memory image of an image list item.
class TMemoryDIB : public TCustomMemoryDIB {
public:
  using TCustomMemoryDIB::TCustomMemoryDIB;

  // Whether the "Data" block carries the pixels (cleared for items retrieved from files).
  bool StoreData = true;
  std::string ImageFilename;
  std::string MaskFilename;

  // Also takes the file names and the store-data flag of a TMemoryDIB source.
  void Assign(const TAbstractSuperDIB& source) override;
};

// The window-system image: the same pixels, held in a section of the platform layer that the
// window system can copy to a window (TWindowImage, platform/WindowImage.h).
class TCustomWinDIB : public TAbstractSuperDIB {
public:
  TCustomWinDIB();
  TCustomWinDIB(int width, int height);
  ~TCustomWinDIB() override;

  // The platform section behind the pixels (null before the first size assignment).
  TWindowImage* WindowImage() const { return FImage.get(); }

protected:
  TPixel32* AllocateBuffer(int width, int height) override;
  void ReleaseBuffer() override;

private:
  std::unique_ptr<TWindowImage> FImage;
};

class TWinDIB : public TCustomWinDIB {
public:
  using TCustomWinDIB::TCustomWinDIB;
};

// --- geometry ----------------------------------------------------------------------------

// Round(256 * sin a) and Round(256 * cos a), and the same for a + 90, for a = 0..359.
struct TTrigTables {
  std::array<int32_t, 360> Sin;
  std::array<int32_t, 360> Cos;
  std::array<int32_t, 360> Sin90;
  std::array<int32_t, 360> Cos90;
};
const TTrigTables& TrigTables();

int NormalizeAngle(int angle);
// Angles in degrees clockwise from 12 o'clock, y growing downwards.
TPoint PointOnCircle(int cx, int cy, int radius, int angle);
int AngleOfPoint(int cx, int cy, int x, int y); // not normalised
// Size of the box holding a w x h image rotated by angle and scaled by sx, sy percent; each
// side rounded up to an even number. X is the width, Y the height.
TPoint RotatedSize(int w, int h, int angle, double sx, double sy);

// --- regions -----------------------------------------------------------------------------

// Pixels whose alpha is above the threshold; none when no pixel qualifies.
std::optional<TRegion> RegionFromMask(const TAbstractSuperDIB& s, uint8_t threshold);
// Pixels whose colour differs from the given one; none when no pixel qualifies.
std::optional<TRegion> RegionFromColour(const TAbstractSuperDIB& s, TColor colour);

// --- 8-bit displays ----------------------------------------------------------------------

// A palette with its colour lookup table: Lookup[b div 4 + (g div 4) * 64 + (r div 4) * 4096]
// is the palette index of a colour (262144 entries).
struct TLookupPalette {
  std::vector<TColor> Entries;
  std::vector<uint8_t> Lookup;
};
constexpr size_t kLookupTableSize = 64 * 64 * 64;

// Palette indexes of a rectangle (Right and Bottom exclusive) of s, cut to s; rows top-down.
struct T8BitImage {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Indexes;
  std::vector<TColor> ColourTable; // the palette's first 235 entries
};
T8BitImage Render8BitIndexes(const TAbstractSuperDIB& s, const TRect& source,
                             const TLookupPalette& palette);
