// The editor's three pictures as stored image data ("Data" blocks), embedded at build time from
// resources/editor-*.dat (made from the PNGs beside them by resources/make_artwork.py and
// zintrax-dib).
#pragma once

#include <cstdint>
#include <span>

std::span<const uint8_t> EditorBackgroundData(); // 300 x 225, raw
std::span<const uint8_t> EditorDotData();        // 14 x 14, raw
std::span<const uint8_t> EditorKnobData();       // 71 x 68, "Shuffle4 RLE"
