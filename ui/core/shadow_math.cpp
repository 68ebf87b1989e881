// Windows-free arithmetic of the drop shadow: line extents, erosion, kernel, dilation, fill.
#include "ui/core/shadow_math.h"

#include <algorithm>
#include <cmath>

namespace Zentu::shadow_math {
namespace {

using Table = std::vector<Extent>;

// One pass of erosion: every line shrinks to what it shares with its neighbours, one pixel
// narrower on each side. The first and last pairs stay empty.
Table Erode(const Table& a, Extent empty) {
  Table eroded(a.size(), empty);
  for (size_t j = 1; j + 1 < a.size(); ++j) {
    eroded[j].start = std::max({a[j - 1].start, a[j].start, a[j + 1].start}) + 1;
    eroded[j].end = std::min({a[j - 1].end, a[j].end, a[j + 1].end}) - 1;
  }
  return eroded;
}

// A bottom-up surface addressed by shadow line and column; writes outside it are dropped.
class Surface {
 public:
  Surface(uint32_t* pixels, int width, int height) : px_(pixels), w_(width), h_(height) {}
  int width() const { return w_; }
  int height() const { return h_; }
  uint32_t* Line(int i) const { return px_ + static_cast<size_t>(h_ - 1 - i) * w_; }
  void Fill(int i, int from, int to, uint32_t value) const {
    if (i < 0 || i >= h_) return;
    from = std::max(from, 0);
    to = std::min(to, w_);
    if (from < to) std::fill(Line(i) + from, Line(i) + to, value);
  }

 private:
  uint32_t* px_;
  int w_, h_;
};

// The (2K + 1)² soft dot stamped along the shape's edges.
class Kernel {
 public:
  explicit Kernel(const Settings& s) : k_(std::max(s.size, static_cast<int>(s.sharpness))) {
    const int side = 2 * k_ + 1;
    const double centre = s.size > s.sharpness ? s.size - s.sharpness : 0;
    px_.resize(static_cast<size_t>(side) * side, 0);
    for (int dy = -k_; dy <= k_; ++dy) {
      for (int dx = -k_; dx <= k_; ++dx) {
        const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
        if (d > k_) continue;
        const uint32_t alpha =
            d < centre ? s.darkness
                       : static_cast<uint32_t>((1 - (d - centre) / (s.sharpness + 1)) * s.darkness);
        px_[static_cast<size_t>(dy + k_) * side + dx + k_] =
            (alpha << 24) + PreMultiply(s.color, alpha);
      }
    }
  }
  int radius() const { return k_; }

  // Centred on (x, line i): each kernel pixel replaces a smaller one (as unsigned numbers).
  void Stamp(const Surface& surface, int x, int i) const {
    const int side = 2 * k_ + 1;
    const int kx0 = std::max(0, k_ - x), kx1 = std::min(side, surface.width() - x + k_);
    for (int ky = std::max(0, k_ - i); ky < side && i - k_ + ky < surface.height(); ++ky) {
      uint32_t* line = surface.Line(i - k_ + ky);
      const uint32_t* row = px_.data() + static_cast<size_t>(ky) * side;
      for (int kx = kx0; kx < kx1; ++kx) {
        uint32_t& pixel = line[x - k_ + kx];
        pixel = std::max(pixel, row[kx]);
      }
    }
  }

 private:
  int k_;
  std::vector<uint32_t> px_;
};

// Stamps the kernel along the left and right edges of every line that has a neighbour line
// reaching less far, so the rim follows the shape.
void Dilate(const Surface& surface, const Kernel& kernel, const Table& a, int base) {
  const int k = kernel.radius();
  for (int i = k; i <= surface.height() - k - 1; ++i) {
    const Extent& line = a[i + base];
    if (line.start >= line.end) continue;
    const Extent& prev = a[i - 1 + base];
    const Extent& next = a[i + 1 + base];
    int x = line.start;
    for (const int stop = std::min(std::max(prev.start, next.start) + 1, line.end); x < stop; ++x)
      kernel.Stamp(surface, x, i);
    for (x = std::max(x, std::min(prev.end, next.end) - 1); x < line.end; ++x)
      kernel.Stamp(surface, x, i);
  }
}

}  // namespace

CRect ComputedPlacement(const Settings& s, const CRect& parent) {
  if (s.size == 0) return CRect();
  const int left = parent.left + s.x_offset - s.size, top = parent.top + s.y_offset - s.size;
  const int width = parent.Width() + 2 * s.size, height = parent.Height() + 2 * s.size;
  if (width <= 0 || height <= 0) return CRect();
  return CRect(left, top, left + width, top + height);
}

uint32_t PreMultiply(uint32_t color, uint32_t alpha) {
  uint32_t result = 0;
  for (int shift = 0; shift < 24; shift += 8)
    result |= (((color >> shift) & 0xFFu) * alpha / 255) << shift;
  return result;
}

std::vector<Extent> ExtentsFromRects(const std::vector<CRect>& rects, int width, int height) {
  const Extent empty{width, 0};
  std::vector<Extent> lines(static_cast<size_t>(std::max(height, 0)), empty);
  for (const CRect& r : rects) {
    const int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width);
    if (left >= right) continue;
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, height); ++y) {
      Extent& line = lines[y];
      if (line.start >= line.end) {
        line = {left, right};
      } else {
        line.start = std::min(line.start, left);
        line.end = std::max(line.end, right);
      }
    }
  }
  return lines;
}

void MakeShadow(uint32_t* pixels, int width, const std::vector<Extent>& lines, const Settings& s) {
  const int hp = static_cast<int>(lines.size());
  const int size = s.size, ws = width + 2 * size, hs = hp + 2 * size;
  if (pixels == nullptr || ws <= 0 || hs <= 0) return;
  const Extent empty{width, 0};

  // Line table: parent lines shifted into shadow coordinates, with an empty pair above and
  // below. A growing shadow holds `size` further empty lines on each side.
  Table a(static_cast<size_t>(std::max(hp, hs)) + 2, empty);
  const int first = 1 + std::max(size, 0);
  for (int y = 0; y < hp; ++y)
    if (lines[y].start < lines[y].end) a[y + first] = {lines[y].start + size, lines[y].end + size};
  for (int pass = s.sharpness - size; pass > 0; --pass) a = Erode(a, empty);

  const Surface surface(pixels, ws, hs);
  const Kernel kernel(s);
  const int base = 1 + std::max(-size, 0);  // the pair of shadow line i is a[i + base]
  Dilate(surface, kernel, a, base);

  // Fill the inside with the full colour and cut out what lies under the parent.
  const uint32_t full = (uint32_t{s.darkness} << 24) + PreMultiply(s.color, s.darkness);
  const int k = kernel.radius();
  const int from = std::min(k, std::max(size - s.y_offset, 0));
  const int to = std::min(hs, std::max(hs - k, std::min(hp + size - s.y_offset, hs)));
  for (int i = std::max(from, 0); i < to; ++i) {
    const Extent& line = a[i + base];
    const int y = i - size + s.y_offset;
    if (y < 0 || y >= hp) {
      surface.Fill(i, line.start, line.end, full);
      continue;
    }
    const int p0 = lines[y].start + size - s.x_offset, p1 = lines[y].end + size - s.x_offset;
    surface.Fill(i, line.start, std::min(p0, line.end), full);
    surface.Fill(i, p0, p1, 0);
    surface.Fill(i, std::max(p1, line.start), line.end, full);
  }
}

}  // namespace Zentu::shadow_math
