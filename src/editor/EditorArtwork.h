// The editor's pictures as stored image data ("Data" blocks), embedded at build time from
// resources/editor-*.dat (made from the PNGs beside them by resources/make_artwork.py and
// resources/pack_artwork.sh).
#pragma once

#include <cstdint>
#include <span>

// The form's own pictures, at scale 1.
std::span<const uint8_t> EditorBackgroundData(); // 300 x 225, raw
std::span<const uint8_t> EditorDotData();        // 14 x 14, raw
std::span<const uint8_t> EditorKnobData();       // 71 x 68, "Shuffle4 RLE"

// Every picture drawn for each display scale, in the order of the form's image list and then
// the read-out's font.
enum TArtworkPicture { apBackground, apDot, apKnob, apReadout, apPictureCount };

// The picture drawn for scale (one of DisplayScales()), or empty for any other scale.
std::span<const uint8_t> EditorArtworkData(TArtworkPicture picture, double scale);
