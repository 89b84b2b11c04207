#!/bin/sh
# Packs the pictures make_artwork.py drew into stored image data beside them: the 1x form's
# three pictures with the compressors the form names, every other picture with whichever of
# the toolkit's compressors stores it smallest.
# Usage: pack_artwork.sh ZINTRAX_DIB [DIR]   (DIR: default the directory of this script)
set -eu
dib=$1
dir=${2:-$(dirname "$0")}
cd "$dir"
"$dib" pack editor-background.png editor-background.dat --compressor none
"$dib" pack editor-dot.png editor-dot.dat --compressor none
"$dib" pack editor-knob.png editor-knob.dat --compressor rle
for png in editor-readout.png editor-*@*.png; do
  best=
  for compressor in none rle lzh; do
    "$dib" pack "$png" "$png.$compressor" --compressor "$compressor" >/dev/null
    if [ -z "$best" ] || [ "$(wc -c <"$png.$compressor")" -lt "$(wc -c <"$best")" ]; then
      best=$png.$compressor
    fi
  done
  mv "$best" "${png%.png}.dat"
  rm -f "$png".none "$png".rle "$png".lzh
done
