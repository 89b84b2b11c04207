#include "editor/EditorArtworkSet.h"

#include "skin/Forms.h"
#include "skin/cDIBData.h"

namespace {

struct TPictureAttributes {
  bool Transparent;
  TColor TransparentColor;
  TTransparentMode TransparentMode;
};

// As the form's images: the background opaque, the others keyed on black.
constexpr TPictureAttributes kAttributes[apPictureCount] = {
    {false, 7644862, tmAuto},
    {true, clBlack, tmFixed},
    {true, clBlack, tmFixed},
    {true, clBlack, tmFixed},
};

} // namespace

TMemoryDIB* TEditorArtworkSet::Picture(TArtworkPicture picture, double scale) {
  if (picture < 0 || picture >= apPictureCount)
    return nullptr;
  if (scale != FScale) {
    for (auto& p : FPictures)
      p.reset();
    FScale = scale;
  }
  std::unique_ptr<TMemoryDIB>& held = FPictures[picture];
  if (!held) {
    const std::span<const uint8_t> data = EditorArtworkData(picture, scale);
    if (data.empty())
      return nullptr;
    held = std::make_unique<TMemoryDIB>();
    const TPictureAttributes& a = kAttributes[picture];
    held->BeginUpdate();
    held->SetTransparent(a.Transparent);
    held->SetTransparentColor(a.TransparentColor);
    held->SetTransparentMode(a.TransparentMode);
    ReadDIBData(*held, data.data(), data.size());
    held->EndUpdate();
  }
  return held->HasBuffer() ? held.get() : nullptr;
}
