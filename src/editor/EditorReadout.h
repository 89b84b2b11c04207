// The read-out: a small plate in the editor's colours that shows a value under the fingers,
// drawn over the controls with the artwork's read-out font. The font picture is a strip of equal
// cells: first a swatch (its top row the plate's rim colour, the rest its face colour), then the
// printable ASCII characters from the space on, keyed on black.
#pragma once

#include "platform/Region.h"
#include "skin/cDIB.h"

#include <string>

class TEditorReadout {
public:
  // Text on a plate of Size(text) with its top-left at place (form units).
  void Show(std::string text, TPoint place);
  void Hide() { FVisible = false; }
  bool Visible() const { return FVisible; }
  const std::string& Text() const { return FText; }
  // In form units, Right and Bottom exclusive; empty while hidden.
  TRect Bounds() const;
  // The plate's size for text, in form units.
  static TPoint Size(const std::string& text);
  // Draws the plate onto buffer, which holds the form at scale, with the font drawn for it.
  void Paint(TAbstractSuperDIB& buffer, double scale, TAbstractSuperDIB* font) const;

private:
  std::string FText;
  TPoint FPlace;
  bool FVisible = false;
};

// A value with a given number of decimals, a point as separator whatever the locale.
std::string FixedText(double value, int decimals);
