// Windows-free arithmetic of the paint manager.
#include "ui/paint/paint_math.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace Zentu::paint_math {

CRect ClipToSurface(const CRect& rect, int width, int height) {
  CRect clipped;
  if (width <= 0 || height <= 0) return clipped;
  clipped.IntersectRect(rect, CRect(0, 0, width, height));
  return clipped;
}

namespace {
// Calls fn(row, count) for the part of each row of the surface that `rect` covers.
template <class RowFn>
void ForEachRow(uint8_t* bits, int width, int height, const CRect& rect, RowFn fn) {
  if (bits == nullptr) return;
  const CRect area = ClipToSurface(rect, width, height);
  if (area.IsRectEmpty()) return;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t count = static_cast<size_t>(area.Width());
  for (int y = area.top; y < area.bottom; ++y)
    fn(bits + static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(area.left) * 4,
       count);
}
}  // namespace

void ClearPixels(uint8_t* bits, int width, int height, const CRect& rect) {
  ForEachRow(bits, width, height, rect,
             [](uint8_t* row, size_t count) { std::memset(row, 0, count * 4); });
}

bool NeedsAlphaRepair(const uint32_t* pixels, size_t count) {
  bool any = false;
  for (size_t i = 0; i < count; ++i) any |= NeedsAlphaRepair(pixels[i]);
  return any;
}

CRect DifferingPart(const uint32_t* before, const uint32_t* after, const CRect& area) {
  int left = area.right, top = area.bottom, right = area.left, bottom = area.top;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x, ++before, ++after) {
      if (*before == *after) continue;
      left = std::min(left, x), right = std::max(right, x + 1);
      top = std::min(top, y), bottom = std::max(bottom, y + 1);
    }
  return left < right ? CRect(left, top, right, bottom) : CRect();
}

void RepairAlpha(uint8_t* bits, int width, int height, const CRect& rect) {
  ForEachRow(bits, width, height, rect, [](uint8_t* row, size_t count) {
    // Whole pixels at a time, without a branch, so the compiler can vectorise the row.
    for (size_t i = 0; i < count; ++i) {
      uint32_t pixel;
      std::memcpy(&pixel, row + i * 4, 4);
      pixel |= NeedsAlphaRepair(pixel) ? 0xFF000000u : 0u;
      std::memcpy(row + i * 4, &pixel, 4);
    }
  });
}

bool JoinDirty(CRect& dirty, const CRect& request, const CRect& control_rect, bool visible) {
  if (!visible) return false;
  CRect overlap;
  if (!overlap.IntersectRect(control_rect, request)) return false;
  dirty.UnionRect(dirty, control_rect);
  return true;
}

std::optional<int> NextFocusIndex(const std::vector<bool>& focusable, int current,
                                  bool current_listed, bool forward) {
  if (!current_listed) return std::nullopt;
  const int size = static_cast<int>(focusable.size());
  const int step = forward ? 1 : -1;
  if (current >= 0 && current < size) {
    for (int i = current + step; i >= 0 && i < size; i += step)
      if (focusable[i]) return i;
  }
  for (int i = forward ? 0 : size - 1; i >= 0 && i < size; i += step)
    if (focusable[i]) return i;
  return std::nullopt;
}

WheelSteps SplitWheelDelta(int delta) { return {std::abs(delta / 120), delta <= 0 ? 1 : 0}; }

uint32_t ChooseDropEffect(uint32_t keys, uint32_t allowed) {
  const bool ctrl = (keys & kKeyControl) != 0, shift = (keys & kKeyShift) != 0;
  uint32_t wanted;
  if (ctrl && shift)
    wanted = kEffectLink;
  else if (ctrl)
    wanted = kEffectCopy;
  else if (shift)
    wanted = kEffectMove;
  else if (allowed & kEffectCopy)
    wanted = kEffectCopy;
  else if (allowed & kEffectMove)
    wanted = kEffectMove;
  else
    wanted = kEffectLink;
  return (allowed & wanted) ? wanted : 0;
}

std::optional<uint32_t> DibBitsOffset(const DibHeader& h, uint64_t block_size) {
  enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kInfoHeaderSize = 40 };
  if (h.size < kInfoHeaderSize || h.size > block_size) return std::nullopt;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN || h.planes != 1) return std::nullopt;
  const uint32_t bits = h.bit_count;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return std::nullopt;
  const bool rle = h.compression == kRle8 || h.compression == kRle4;
  if (h.compression == kRle8 && bits != 8) return std::nullopt;
  if (h.compression == kRle4 && bits != 4) return std::nullopt;
  if (h.compression == kBitFields && bits != 16 && bits != 32) return std::nullopt;
  if (h.compression > kBitFields) return std::nullopt;  // JPEG, PNG: not decoded here
  // Run-length data is bottom-up only, and only its stated size bounds it.
  if (rle && (h.height < 0 || h.size_image == 0)) return std::nullopt;

  const uint64_t colours = h.colors_used ? h.colors_used : (bits <= 8 ? 1u << bits : 0u);
  if (colours > 256) return std::nullopt;
  // A version-1 header is followed by the three masks; later ones hold them inside.
  const uint64_t masks = h.compression == kBitFields && h.size == kInfoHeaderSize ? 3 : 0;
  const uint64_t offset = uint64_t{h.size} + (masks + colours) * 4;
  const uint64_t rows = h.height < 0 ? uint64_t(-int64_t{h.height}) : uint64_t(h.height);
  const uint64_t stride = (uint64_t(h.width) * bits + 31) / 32 * 4;
  const uint64_t pixels = rle ? h.size_image : stride * rows;
  if (offset + pixels > block_size) return std::nullopt;
  return static_cast<uint32_t>(offset);
}

bool DragThresholdPassed(const CPoint& start, const CPoint& now, int threshold_x, int threshold_y) {
  const int64_t dx = std::llabs(int64_t{now.x} - start.x);
  const int64_t dy = std::llabs(int64_t{now.y} - start.y);
  return dx > threshold_x || dy > threshold_y;
}

std::optional<int> TemperatureText(float celsius) {
  if (!std::isfinite(celsius)) return std::nullopt;
  const double truncated = std::trunc(static_cast<double>(celsius));
  if (truncated < -2147483648.0 || truncated > 2147483647.0) return std::nullopt;
  return static_cast<int>(truncated);
}

int FrameWidth(int image_width, int frame_count) {
  return image_width / (frame_count < 1 ? 1 : frame_count);
}

}  // namespace Zentu::paint_math
