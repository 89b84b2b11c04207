#include "editor/EditorReadout.h"

#include "skin/DisplayScale.h"

#include <charconv>

namespace {

constexpr int kCellWidth = 6; // a character, in form units
constexpr int kCellHeight = 12;
constexpr int kMarginX = 4; // from the plate's edge to the text
constexpr int kMarginY = 2;
constexpr int kFirstCharacter = 32;
constexpr int kCells = 1 + (127 - kFirstCharacter); // the swatch, then ' ' to '~'

} // namespace

void TEditorReadout::Show(std::string text, TPoint place) {
  FText = std::move(text);
  FPlace = place;
  FVisible = true;
}

TPoint TEditorReadout::Size(const std::string& text) {
  return {int32_t(text.size()) * kCellWidth + 2 * kMarginX, kCellHeight + 2 * kMarginY};
}

TRect TEditorReadout::Bounds() const {
  if (!FVisible)
    return {};
  const TPoint size = Size(FText);
  return {FPlace.X, FPlace.Y, FPlace.X + size.X, FPlace.Y + size.Y};
}

void TEditorReadout::Paint(TAbstractSuperDIB& buffer, double scale, TAbstractSuperDIB* font) const {
  if (!FVisible || !font || !font->Pixels() || font->Width() < kCells)
    return;
  const int cellWidth = font->Width() / kCells, cellHeight = font->Height();
  const TRect r = ScaledRect(Bounds(), scale);
  const TColor rim = PixelToColor(font->PixelAt(0, 0));
  const TColor face = PixelToColor(font->PixelAt(0, cellHeight - 1));
  const int edge = ScaledCoordinate(1, scale);
  buffer.FillRect(rim, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  buffer.FillRect(face, r.Left + edge, r.Top + edge, r.Right - r.Left - 2 * edge,
                  r.Bottom - r.Top - 2 * edge);
  int x = ScaledCoordinate(FPlace.X + kMarginX, scale);
  const int y = ScaledCoordinate(FPlace.Y + kMarginY, scale);
  for (const char c : FText) {
    const int cell = c >= kFirstCharacter && c < 127 ? 1 + c - kFirstCharacter : 1 + '?' - 32;
    font->Draw(x, y, cell * cellWidth, 0, buffer, cellHeight, cellWidth);
    x += cellWidth;
  }
}

std::string FixedText(double value, int decimals) {
  char text[64];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("?");
}
