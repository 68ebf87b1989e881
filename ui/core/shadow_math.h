// Windows-free arithmetic of the drop shadow: line extents, erosion, kernel, dilation, fill.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu::shadow_math {

// The pixels start <= x < end of one line; a line with start >= end is empty.
struct Extent {
  int start;
  int end;
};

// The computed shadow's parameters, with the ranges the setters accept.
struct Settings {
  uint8_t darkness = 150;  // alpha of the fully dark part
  uint8_t sharpness = 5;   // width of the blurred border, 0..35
  int size = 0;            // growth on every side, -35..35; 0 draws nothing
  int x_offset = 5;        // shift right and down, -35..35 each
  int y_offset = 5;
  uint32_t color = 0;  // its three low bytes go straight into the pixels' low three bytes
};

inline constexpr int kMaxShift = 35;
constexpr bool IsShift(int value) { return value >= -kMaxShift && value <= kMaxShift; }
constexpr bool IsSharpness(unsigned value) { return value <= static_cast<unsigned>(kMaxShift); }
constexpr bool IsDarkness(unsigned value) { return value <= 255; }

// Where the computed shadow of a window at `parent` (screen coordinates) lies: grown by the
// size on every side and shifted by the offsets. Empty when nothing is drawn (size 0, or a
// shadow that shrinks to nothing).
ZENTU_API CRect ComputedPlacement(const Settings& settings, const CRect& parent);

// Each of the colour's three low bytes times alpha / 255 (integer division).
ZENTU_API uint32_t PreMultiply(uint32_t color, uint32_t alpha);

// The extent of each of `height` lines of a `width`-wide window covered by `rects` (window
// coordinates, as a window region lists them): from the first to the last covered pixel
// inside 0..width-1. A line no rect covers gets the empty pair (width, 0).
ZENTU_API std::vector<Extent> ExtentsFromRects(const std::vector<CRect>& rects, int width,
                                               int height);

// Computes the shadow of a `width`-wide parent whose lines cover `lines` (one extent per
// parent line) into `pixels`: (width + 2 size) × (lines + 2 size) values 0xAARRGGBB with
// premultiplied colour, rows bottom-up, all 0 on entry. Pixels under the parent, shifted by
// the offsets, stay 0. Nothing is drawn when the surface would be empty.
ZENTU_API void MakeShadow(uint32_t* pixels, int width, const std::vector<Extent>& lines,
                          const Settings& settings);

}  // namespace Zentu::shadow_math
