// Windows-free arithmetic behind MRender.
#include "ui/paint/render_math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Zentu::render_math {

namespace {

int Clamp(int value, int lo, int hi) { return std::min(std::max(value, lo), hi); }

bool HasFraction(float value) { return value != std::trunc(value); }

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v & 0xFFFFu);
  PutU16(p + 2, v >> 16);
}

}  // namespace

CPoint OriginOffset(int container_width, int container_height, int item_width, int item_height,
                    unsigned horizontal, unsigned vertical) {
  const int64_t dx = int64_t{container_width} - item_width;
  const int64_t dy = int64_t{container_height} - item_height;
  int64_t x = 0, y = 0;
  if (horizontal == 1) x = dx / 2;
  if (horizontal == 2) x = dx;
  if (vertical == 4) y = dy / 2;
  if (vertical == 8) y = dy;
  return CPoint(static_cast<int32_t>(x), static_cast<int32_t>(y));
}

CPoint OriginInRect(const CRect& container, int item_width, int item_height, unsigned horizontal,
                    unsigned vertical) {
  CPoint p = OriginOffset(container.Width(), container.Height(), item_width, item_height,
                          horizontal, vertical);
  p.Offset(container.left, container.top + 2);
  return p;
}

CRect FitImageRect(int image_width, int image_height, const CRect& box) {
  const int64_t w = image_width, h = image_height;
  const int64_t bw = box.Width(), bh = box.Height();
  int64_t fw = w, fh = h;
  // Only a real image in a real box is scaled; anything else keeps its size.
  if (w > 0 && h > 0 && bw > 0 && bh > 0) {
    const bool too_wide = w > bw, too_high = h > bh;
    if (too_wide && too_high) {
      if (static_cast<double>(w) / h > static_cast<double>(bw) / bh) {
        fw = bw, fh = bw * h / w;
      } else {
        fh = bh, fw = bh * w / h;
      }
    } else if (too_wide) {
      fw = bw, fh = bw * h / w;
    } else if (too_high) {
      fh = bh, fw = bh * w / h;
    }
  }
  const int64_t left = box.left + (bw - fw) / 2;
  const int64_t top = box.top + (bh - fh) / 2;
  return CRect(static_cast<int32_t>(left), static_cast<int32_t>(top),
               static_cast<int32_t>(left + fw), static_cast<int32_t>(top + fh));
}

std::array<FramePiece, 9> NineGridPieces(const CRect& dest, const PieceRect& source,
                                         const FrameMargins& m) {
  const int L = dest.left, T = dest.top, R = dest.right, B = dest.bottom;
  const int W = dest.Width(), H = dest.Height();
  const int x = source.x, y = source.y, sw = source.width, sh = source.height;
  const int mid_w = W - m.left - m.right, mid_h = H - m.top - m.bottom;
  const int src_mid_w = sw - m.left - m.right, src_mid_h = sh - m.top - m.bottom;
  return {{
      {{L, T, m.left, m.top}, {x, y, m.left, m.top}},
      {{L, T + m.top, m.left, mid_h}, {x, y + m.top, m.left, src_mid_h}},
      {{L, B - m.bottom, m.left, m.bottom}, {x, y + sh - m.bottom, m.left, m.bottom}},
      {{L + m.left, T, mid_w, m.top}, {x + m.left, y, src_mid_w, m.top}},
      {{R - m.right, T, m.right, m.top}, {x + sw - m.right, y, m.right, m.top}},
      {{R - m.right, T + m.top, m.right, mid_h}, {x + sw - m.right, y + m.top, m.right, src_mid_h}},
      {{R - m.right, B - m.bottom, m.right, m.bottom},
       {x + sw - m.right, y + sh - m.bottom, m.right, m.bottom}},
      {{L + m.left, B - m.bottom, mid_w, m.bottom},
       {x + m.left, y + sh - m.bottom, src_mid_w, m.bottom}},
      {{L + m.left, T + m.top, mid_w, mid_h}, {x + m.left, y + m.top, src_mid_w, src_mid_h}},
  }};
}

int TransitionAlpha(int first_percent, int second_percent, int count, int index) {
  if (count <= 0) return 255;
  // Percentages outside 0..100 would push the alpha out of a byte and wrap it around.
  const int p1 = Clamp(first_percent, 0, 100), p2 = Clamp(second_percent, 0, 100);
  const int lo = std::min(p1, p2), hi = std::max(p1, p2);
  const int start = static_cast<int>(255.0 - lo * 255.0 / 100.0);
  const int end = static_cast<int>((100 - hi) * 255.0 / 100.0);
  const double step = static_cast<double>(start - end) / count;
  const double alpha = p1 < p2 ? start - index * step : end + index * step;
  return static_cast<int>(alpha) & 0xFF;
}

int CornerFadeAlpha(int n, int i, int j) {
  const double distance = std::sqrt(static_cast<double>(i) * i + static_cast<double>(j) * j);
  const double alpha = 255.0 - 255.0 / n * std::min(static_cast<double>(n), distance);
  return Clamp(static_cast<int>(alpha), 0, 255);
}

int GradientBandShift(int step_hint) {
  if (step_hint < 4) return 1;
  if (step_hint < 8) return 2;
  if (step_hint < 16) return 3;
  if (step_hint < 32) return 4;
  if (step_hint < 64) return 5;
  return 6;
}

uint32_t GradientBandColor(uint32_t first, uint32_t second, int k, int shift) {
  const uint32_t bands = 1u << shift;
  uint32_t result = 0;
  for (int byte = 0; byte < 32; byte += 8) {
    const uint32_t a = (first >> byte) & 0xFF, b = (second >> byte) & 0xFF;
    const uint32_t mixed = (b * (bands - k) + a * k) >> shift;
    result |= (mixed & 0xFF) << byte;
  }
  return result;
}

Span GradientBandSpan(int length, int k, int shift) {
  const int64_t bands = int64_t{1} << shift;
  const int64_t end = length - k * int64_t{length} / bands;
  const int64_t begin = length - (k + 1) * int64_t{length} / bands;
  return {static_cast<int>(begin), static_cast<int>(end)};
}

uint32_t BlendPixel(uint32_t dest, uint32_t source, uint8_t constant_alpha) {
  // Exact rational form of d × (1 − w) + s × w with w = sa × ca / 255², then truncated.
  constexpr uint32_t kFull = 255u * 255u;
  const uint32_t weight = (source >> 24) * constant_alpha;
  uint32_t result = 0;
  for (int byte = 0; byte < 24; byte += 8) {
    const uint32_t d = (dest >> byte) & 0xFF, s = (source >> byte) & 0xFF;
    result |= ((d * (kFull - weight) + s * weight) / kFull) << byte;
  }
  return result;
}

Radii OutlineRadii(int width, int height, int divisor) {
  if (divisor <= 0) return {0.0f, 0.0f};
  Radii r{static_cast<float>(width) / divisor * 0.5f, static_cast<float>(height) / divisor * 0.5f};
  if (std::fabs(r.x - r.y) > 10.0f) r.x = r.y = std::min(r.x, r.y);
  return r;
}

void RotatePoint(float& x, float& y, float degrees, float cx, float cy) {
  const float radians = degrees * 3.1415926f / 180.0f;
  const float c = std::cos(radians), s = std::sin(radians);
  const float dx = x - cx, dy = y - cy;
  x = dx * c - dy * s + cx;
  y = dy * c + dx * s + cy;
}

int TextWidth(float bounds_width) { return static_cast<int>(std::ceil(bounds_width)); }

int TextLineHeight(float line_height) {
  return HasFraction(line_height) ? static_cast<int>(line_height + 4.0f)
                                  : static_cast<int>(line_height) + 1;
}

int TextBlockHeight(float line_height, float bounds_height) {
  const int t = static_cast<int>(line_height) + (HasFraction(line_height) ? 2 : 1);
  const int u = static_cast<int>(bounds_height + (HasFraction(bounds_height) ? 2.0f : 1.0f));
  return t < u ? u + 5 : t + 1;
}

int BitmapFileDepth(int display_bits) {
  if (display_bits <= 1) return 1;
  if (display_bits <= 4) return 4;
  if (display_bits <= 8) return 8;
  return 24;
}

uint32_t BitmapRowSize(int depth, int width) {
  if (depth <= 0 || width < 0) return 0;
  const uint64_t row = (uint64_t(depth) * uint64_t(width) + 31) / 32 * 4;
  return row > std::numeric_limits<uint32_t>::max() ? 0 : static_cast<uint32_t>(row);
}

bool BitmapFileHeader(int width, int height, int depth, uint32_t palette_entries,
                      std::array<uint8_t, kBitmapHeaderSize>& out) {
  if (width <= 0 || height <= 0 || palette_entries > 256) return false;
  const uint32_t row = BitmapRowSize(depth, width);
  if (row == 0) return false;
  const uint64_t offset = kBitmapHeaderSize + uint64_t{palette_entries} * 4;
  const uint64_t file_size = uint64_t{row} * uint64_t(height) + offset;
  if (file_size > std::numeric_limits<uint32_t>::max()) return false;
  out.fill(0);
  uint8_t* p = out.data();
  PutU16(p, 0x4D42);  // "BM"
  PutU32(p + 2, static_cast<uint32_t>(file_size));
  PutU32(p + 10, static_cast<uint32_t>(offset));
  PutU32(p + 14, 40);
  PutU32(p + 18, static_cast<uint32_t>(width));
  PutU32(p + 22, static_cast<uint32_t>(height));
  PutU16(p + 26, 1);
  PutU16(p + 28, static_cast<uint32_t>(depth));
  return true;
}

}  // namespace Zentu::render_math
