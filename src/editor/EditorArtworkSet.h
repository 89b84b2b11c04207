// The editor's pictures for the display scale in use: read from the embedded data when first
// drawn, each with the attributes of the form's image it stands in for. Only one scale is held
// at a time.
#pragma once

#include "editor/EditorArtwork.h"
#include "skin/cDIBImageList.h"

#include <array>
#include <memory>

class TEditorArtworkSet {
public:
  // The picture drawn for scale, or null when none is embedded for it.
  TMemoryDIB* Picture(TArtworkPicture picture, double scale);

private:
  double FScale = 0.0;
  std::array<std::unique_ptr<TMemoryDIB>, apPictureCount> FPictures;
};
