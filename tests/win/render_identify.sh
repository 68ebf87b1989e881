#!/bin/sh
# Has the drawing tests write a bitmap file under Wine, then reads it back with ImageMagick.
set -eu
emulator=$1 exe=$2 out=$3
rm -f "$out"
RENDER_SAVE_BMP="Z:$(printf '%s' "$out" | tr / '\\')" \
  "$emulator" "$exe" --gtest_filter=MRenderFiles.SaveBitmapToFileWritesA24BitBitmap
found=$(identify -format '%m %w %h' "$out")
bits=$(od -An -tu2 -j28 -N2 "$out" | tr -d ' ')
size=$(wc -c < "$out" | tr -d ' ')
echo "identify: $found; bits per pixel $bits; $size bytes"
# 5 x 3 pixels at 24 bits: rows of 15 bytes padded to 16, after the 54-byte headers.
# ImageMagick names a file with the 40-byte info header "BMP3".
[ "$found" = "BMP3 5 3" ] && [ "$bits" = 24 ] && [ "$size" = 102 ]
