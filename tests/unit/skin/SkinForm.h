// A form with one image container in a headless window whose clock the test turns, for the
// tests of the skin controls. Pointer events are posted in window coordinates and delivered by
// Pump, as an idle call of a host would.
#pragma once

#include "platform/EditorWindowHeadless.h"
#include "skin/Forms.h"
#include "skin/cDIBPanel.h"

#include <cstdint>
#include <functional>
#include <string>

class TSkinForm {
public:
  explicit TSkinForm(int width = 120, int height = 90) {
    FPrevious = SetEditorWindowFactory(HeadlessEditorWindowFactory([this] { return Now; }));
    Form.SetBounds(0, 0, width, height);
    Container = new TDIBImageContainer(&Form);
    Container->SetParent(&Form);
    Container->SetAlign(alClient);
    Container->SetDIBImageList(&Images);
    Container->Color = 0x00102030;
  }
  ~TSkinForm() { SetEditorWindowFactory(FPrevious); }

  // Makes the window, shows it and paints the first picture.
  void Show() {
    Form.CreateWindowIn(this, 0);
    Form.ShowWindow();
    Pump();
  }
  THeadlessEditorWindow& Window() { return *static_cast<THeadlessEditorWindow*>(Form.Window()); }
  void Pump() {
    Form.ProcessMessages();
    Form.Update();
  }
  void Mouse(TWindowMouseKind kind, int x, int y, uint32_t shift = 0,
             TMouseButton button = TMouseButton::Left) {
    Window().Post({kind, button, shift, x, y});
    Pump();
  }
  // Pixel (x, y) of the screen as 0x00RRGGBB.
  uint32_t Screen(int x, int y) {
    const uint8_t* p = &Window().Screen()[(size_t(y) * size_t(Form.Width()) + size_t(x)) * 4];
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }

  uint64_t Now = 1000;
  TDIBImageList Images; // declared before the form: the form's controls link to it
  TForm Form{nullptr};
  TDIBImageContainer* Container;

private:
  TEditorWindowFactory FPrevious;
};

// The message of what the action raised, or the empty text.
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// An image of one colour for the list (0x00BBGGRR), optionally keyed on black.
inline void AddImage(TDIBImageList& list, int width, int height, TColor colour,
                     bool transparent = false) {
  TMemoryDIB& image = list.DIBImages().Add().StoredDIB();
  image.SetSize(width, height);
  image.Fill(colour);
  image.SetTransparentMode(tmFixed);
  image.SetTransparentColor(0);
  image.SetTransparent(transparent);
}
