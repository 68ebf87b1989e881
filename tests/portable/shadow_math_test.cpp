// Drop shadow arithmetic on pixel buffers: placement, cut-out, rim, fill, odd shapes.
#include "ui/core/shadow_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace Zentu::shadow_math {
namespace {

// A computed shadow read back in picture coordinates (line 0 at the top).
struct Shadow {
  int width, height;
  std::vector<uint32_t> pixels;
  Shadow(int parent_width, const std::vector<Extent>& lines, const Settings& s)
      : width(parent_width + 2 * s.size),
        height(static_cast<int>(lines.size()) + 2 * s.size),
        pixels(static_cast<size_t>(width) * height, 0) {
    MakeShadow(pixels.data(), parent_width, lines, s);
  }
  uint32_t At(int x, int line) const {
    return pixels[static_cast<size_t>(height - 1 - line) * width + x];
  }
};

Settings Standard() {
  Settings s;
  s.size = 10;
  s.sharpness = 5;
  s.color = 0x204080;
  return s;
}

// The kernel of size 10, sharpness 5, darkness 150 at distance d from its centre.
uint32_t RimPixel(double d, uint32_t color) {
  if (d > 10) return 0;
  const uint32_t alpha = d < 5 ? 150 : static_cast<uint32_t>((1 - (d - 5) / 6) * 150);
  return (alpha << 24) + PreMultiply(color, alpha);
}

TEST(ShadowMath, RectangularWindowGetsSoftRimAndTransparentCutOut) {
  const Settings s = Standard();
  EXPECT_EQ(ComputedPlacement(s, CRect(100, 100, 400, 300)), CRect(95, 95, 415, 315));
  const Shadow shadow(300, ExtentsFromRects({CRect(0, 0, 300, 200)}, 300, 200), s);
  ASSERT_EQ(shadow.width, 320);
  ASSERT_EQ(shadow.height, 220);

  // Under the parent, shifted by the offsets, nothing is drawn.
  int drawn_under_parent = 0;
  for (int line = 5; line < 205; ++line)
    for (int x = 5; x < 305; ++x) drawn_under_parent += shadow.At(x, line) != 0;
  EXPECT_EQ(drawn_under_parent, 0);

  // The rim: the kernel around the shape's extent (10..309, lines 10..209).
  const uint32_t c = s.color;
  EXPECT_EQ(shadow.At(0, 100), RimPixel(10, c));                  // left edge, 10 away
  EXPECT_EQ(shadow.At(4, 100), RimPixel(6, c));                   // just left of the cut-out
  EXPECT_EQ(shadow.At(319, 100), RimPixel(10, c));                // right edge
  EXPECT_EQ(shadow.At(312, 100), RimPixel(3, c));                 // inside the dark centre radius
  EXPECT_EQ(shadow.At(160, 219), RimPixel(10, c));                // bottom edge
  EXPECT_EQ(shadow.At(316, 216), RimPixel(std::hypot(7, 7), c));  // bottom-right corner
  EXPECT_EQ(shadow.At(0, 0), 0u);                                 // beyond the corner radius
  EXPECT_EQ(shadow.At(3, 3), RimPixel(std::hypot(7, 7), c));      // top-left corner

  // Below and right of the parent the inside is the full, premultiplied colour.
  const uint32_t full = 0x9612254Bu;  // alpha 150; 0x20, 0x40, 0x80 times 150 / 255
  EXPECT_EQ(shadow.At(150, 207), full);
  EXPECT_EQ(shadow.At(307, 100), full);
  EXPECT_EQ(shadow.At(309, 209), full);
}

TEST(ShadowMath, NothingIsDrawnForSizeZeroOrAnEmptyRegion) {
  Settings s = Standard();
  s.size = 0;
  EXPECT_TRUE(ComputedPlacement(s, CRect(0, 0, 300, 200)).IsRectEmpty());
  s.size = -35;
  EXPECT_TRUE(ComputedPlacement(s, CRect(0, 0, 60, 40)).IsRectEmpty());  // shrinks to nothing

  // A window without a region has no covered line.
  const Shadow shadow(300, ExtentsFromRects({}, 300, 200), Standard());
  for (uint32_t p : shadow.pixels) ASSERT_EQ(p, 0u);
}

TEST(ShadowMath, ExtentsSpanTheCoveredPixelsOfEachLine) {
  // Two rects on one line with a gap, one reaching past the window's right edge.
  const auto lines = ExtentsFromRects({CRect(5, 0, 20, 2), CRect(40, 1, 90, 3)}, 60, 4);
  EXPECT_EQ(lines[0].start, 5);
  EXPECT_EQ(lines[0].end, 20);
  EXPECT_EQ(lines[1].start, 5);
  EXPECT_EQ(lines[1].end, 60);
  EXPECT_EQ(lines[2].start, 40);
  EXPECT_EQ(lines[3].start, 60);  // uncovered: the empty pair (width, 0)
  EXPECT_EQ(lines[3].end, 0);
}

// Every setting at its limits on an irregular shape: the buffer is never written outside
// (the sanitizers watch), and the part under the parent stays transparent.
TEST(ShadowMath, ExtremeSettingsStayInsideTheBufferAndKeepTheCutOut) {
  const std::vector<CRect> shape = {CRect(3, 0, 57, 2), CRect(0, 2, 60, 38), CRect(20, 38, 40, 40)};
  for (int size : {-20, -1, 1, 7, 35}) {
    for (int sharpness : {0, 5, 35}) {
      for (int offset : {-35, 0, 35}) {
        Settings s;
        s.size = size;
        s.sharpness = static_cast<uint8_t>(sharpness);
        s.x_offset = offset;
        s.y_offset = -offset;
        s.darkness = 255;
        s.color = 0xFFFFFF;
        const auto lines = ExtentsFromRects(shape, 60, 40);
        const Shadow shadow(60, lines, s);
        for (int y = 0; y < 40; ++y) {
          for (int x = lines[y].start; x < lines[y].end; ++x) {
            const int sx = x + size - offset, sy = y + size + offset;
            if (sx < 0 || sy < 0 || sx >= shadow.width || sy >= shadow.height) continue;
            ASSERT_EQ(shadow.At(sx, sy), 0u) << size << " " << sharpness << " " << offset;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace Zentu::shadow_math
