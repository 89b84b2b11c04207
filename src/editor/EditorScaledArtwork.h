// The pictures of one display scale, as the build embeds them (one generated file per scale).
#pragma once

#include "editor/EditorArtwork.h"

struct TScaledArtwork {
  double Scale;
  std::span<const uint8_t> Pictures[apPictureCount];
};
