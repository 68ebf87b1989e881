// Windows-free arithmetic behind MRender: alignment, image fitting, nine-grid pieces, fades,
// gradient bands, the fallback blend and the bitmap file header.
#pragma once

#include <array>
#include <cstdint>

#include "ui/core/geometry.h"

namespace Zentu::render_math {

// ---- colours (ARGB 0xAARRGGBB; a 32-bit pixel B,G,R,A read little endian is the same) ----

inline constexpr uint8_t AlphaOf(uint32_t argb) { return static_cast<uint8_t>(argb >> 24); }
// An ARGB colour with alpha 0 means there is nothing to draw.
inline constexpr bool HasAlpha(uint32_t argb) { return argb >= 0x01000000u; }
// Pure black (any alpha) becomes blue 1, so a layered surface's alpha repair keeps it.
inline constexpr uint32_t NudgeBlack(uint32_t argb) {
  return (argb & 0x00FFFFFFu) == 0 ? argb + 1 : argb;
}
// The gradient's combined alpha: the two alpha bytes averaged, rounded down.
inline constexpr uint8_t AverageAlpha(uint32_t first, uint32_t second) {
  return static_cast<uint8_t>((AlphaOf(first) + AlphaOf(second)) >> 1);
}

// ---- alignment and fitting ----

// Offset of an item inside a container: horizontal 1 centre, 2 right; vertical 4 centre,
// 8 bottom; any other code counts as left (top).
CPoint OriginOffset(int container_width, int container_height, int item_width, int item_height,
                    unsigned horizontal, unsigned vertical);
// Absolute position inside a rectangle; two pixels lower than the offset form, as the
// library's text and icon layouts expect.
CPoint OriginInRect(const CRect& container, int item_width, int item_height, unsigned horizontal,
                    unsigned vertical);
// The image scaled down (aspect kept) to fit the box when it is larger than the box in
// either direction, centred in the box; a smaller image keeps its size.
CRect FitImageRect(int image_width, int image_height, const CRect& box);

// ---- nine-grid frames ----

struct PieceRect {
  int x, y, width, height;
  bool empty() const { return width <= 0 || height <= 0; }
};
struct FramePiece {
  PieceRect dest;
  PieceRect source;
};
struct FrameMargins {
  int left, top, right, bottom;
};
// The nine pieces in drawing order: top-left, left edge, bottom-left, top edge, top-right,
// right edge, bottom-right, bottom edge, centre.
std::array<FramePiece, 9> NineGridPieces(const CRect& dest, const PieceRect& source,
                                         const FrameMargins& margins);

// ---- transitions ----

// Constant alpha of row (column) `index` of `count` in a fade between two percentages
// (clamped to 0..100); 255 when count is 0.
int TransitionAlpha(int first_percent, int second_percent, int count, int index);
// Alpha of pixel (i, j) of the bottom-right corner fade of size n: a radial fade away from
// the square's top-left point. n must be positive.
int CornerFadeAlpha(int n, int i, int j);

// ---- gradient bands (used when the platform's GradientFill is missing) ----

// The exponent n of the 2^n bands for a step hint.
int GradientBandShift(int step_hint);
// Colour of band k of 2^n, channel by channel from `first` and `second` (any byte order:
// every byte is mixed the same way).
uint32_t GradientBandColor(uint32_t first, uint32_t second, int k, int shift);
// [begin, end) of band k along a length, counted from the far (right or bottom) edge.
struct Span {
  int begin, end;
};
Span GradientBandSpan(int length, int k, int shift);

// ---- the library's own alpha blend ----

// Mixes a B,G,R,A source pixel over a destination pixel: w = source alpha × constant
// alpha / 255²; each colour byte is destination × (1 − w) + source × w, truncated; the
// result's alpha byte is 0.
uint32_t BlendPixel(uint32_t dest, uint32_t source, uint8_t constant_alpha);

// ---- rounded rectangles, rotation ----

struct Radii {
  float x, y;
};
// Radii of the outlined rounded rectangle: half of width (height) / divisor; when they
// differ by more than 10 both take the smaller. A divisor <= 0 gives square corners.
Radii OutlineRadii(int width, int height, int divisor);

// Turns (x, y) about (cx, cy) by `degrees`, in single precision.
void RotatePoint(float& x, float& y, float degrees, float cx, float cy);

// ---- text measuring ----

// Whole-pixel width of measured text: the bounds width rounded up.
int TextWidth(float bounds_width);
// Height of one measured line from the font's line height.
int TextLineHeight(float line_height);
// Height of text measured in a layout width, from the line height and the bounds height.
int TextBlockHeight(float line_height, float bounds_height);

// ---- bitmap files ----

inline constexpr uint32_t kBitmapHeaderSize = 54;  // file header 14 + info header 40
// Bits per pixel of the written file from the display's planes × bits per pixel.
int BitmapFileDepth(int display_bits);
// Bytes of one pixel row, padded to 4 bytes; 0 when it would not fit 32 bits.
uint32_t BitmapRowSize(int depth, int width);
// The 54 header bytes of a bottom-up, uncompressed file with `palette_entries` colour
// table entries (4 bytes each) between the headers and the pixels. False when the sizes
// do not fit the file format.
bool BitmapFileHeader(int width, int height, int depth, uint32_t palette_entries,
                      std::array<uint8_t, kBitmapHeaderSize>& out);

}  // namespace Zentu::render_math
