// Drawing arithmetic: alignment, image fitting, nine-grid pieces, fades, bands, blending.
#include "ui/paint/render_math.h"

#include <gtest/gtest.h>

namespace rm = Zentu::render_math;
using Zentu::CPoint;
using Zentu::CRect;

TEST(RenderMath, OriginPoint) {
  EXPECT_EQ(rm::OriginOffset(100, 40, 30, 10, 1, 4), CPoint(35, 15));
  EXPECT_EQ(rm::OriginInRect(CRect(10, 20, 110, 60), 30, 10, 1, 4), CPoint(45, 37));
  EXPECT_EQ(rm::OriginOffset(100, 40, 30, 10, 2, 8), CPoint(70, 30));
  EXPECT_EQ(rm::OriginOffset(100, 40, 30, 10, 3, 5), CPoint(0, 0));   // unknown codes
  EXPECT_EQ(rm::OriginOffset(10, 10, 15, 15, 1, 4), CPoint(-2, -2));  // toward zero
}

TEST(RenderMath, ImageRectFitsAndCentres) {
  const CRect box(10, 20, 110, 120);  // 100 × 100
  EXPECT_EQ(rm::FitImageRect(200, 50, box), CRect(10, 57, 110, 82));
  // Too wide and exactly as high: fitted as well, not left hanging 50 pixels out.
  EXPECT_EQ(rm::FitImageRect(200, 100, box), CRect(10, 45, 110, 95));
  EXPECT_EQ(rm::FitImageRect(100, 200, box), CRect(35, 20, 85, 120));
  EXPECT_EQ(rm::FitImageRect(400, 200, box), CRect(10, 45, 110, 95));  // tighter ratio wins
  EXPECT_EQ(rm::FitImageRect(200, 400, box), CRect(35, 20, 85, 120));
  EXPECT_EQ(rm::FitImageRect(100, 100, box), box);
  EXPECT_EQ(rm::FitImageRect(50, 20, box), CRect(35, 60, 85, 80));
  EXPECT_EQ(rm::FitImageRect(0, 0, box), CRect(60, 70, 60, 70));  // no division by zero
  EXPECT_EQ(rm::FitImageRect(20, 20, CRect()), CRect(-10, -10, 10, 10));
}

TEST(RenderMath, NineGridPieces) {
  // Margins left 1, top 2, right 3, bottom 4; destination (10, 20)-(30, 40), source 10 × 12.
  const auto p = rm::NineGridPieces(CRect(10, 20, 30, 40), {5, 0, 10, 12}, {1, 2, 3, 4});
  auto same = [](const rm::PieceRect& a, rm::PieceRect b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
  };
  EXPECT_TRUE(same(p[1].dest, {10, 22, 1, 14}));   // left edge
  EXPECT_TRUE(same(p[2].source, {5, 8, 1, 4}));    // bottom-left
  EXPECT_TRUE(same(p[4].dest, {27, 20, 3, 2}));    // top-right
  EXPECT_TRUE(same(p[6].source, {12, 8, 3, 4}));   // bottom-right
  EXPECT_TRUE(same(p[7].dest, {11, 36, 16, 4}));   // bottom edge
  EXPECT_TRUE(same(p[8].dest, {11, 22, 16, 14}));  // centre
  EXPECT_TRUE(same(p[8].source, {6, 2, 6, 6}));
  // Corner 0: only the centre has an area, and it is the whole rectangle.
  const auto z = rm::NineGridPieces(CRect(3, 4, 13, 24), {0, 0, 8, 8}, {0, 0, 0, 0});
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(z[i].dest.empty()) << i;
  EXPECT_TRUE(same(z[8].dest, {3, 4, 10, 20}));
  EXPECT_TRUE(same(z[8].source, {0, 0, 8, 8}));
}

TEST(RenderMath, FadeAlphas) {
  // 0 → 100 over 10 rows: 255 at the first row, 25.5 less per row.
  EXPECT_EQ(rm::TransitionAlpha(0, 100, 10, 0), 255);
  EXPECT_EQ(rm::TransitionAlpha(0, 100, 10, 1), 229);
  EXPECT_EQ(rm::TransitionAlpha(0, 100, 10, 9), 25);
  EXPECT_EQ(rm::TransitionAlpha(100, 0, 10, 0), 0);   // reversed: rising from the end value
  EXPECT_EQ(rm::TransitionAlpha(20, 60, 4, 2), 153);  // from 204 toward 102
  EXPECT_EQ(rm::TransitionAlpha(60, 20, 4, 0), 102);
  EXPECT_EQ(rm::TransitionAlpha(0, 100, 0, 0), 255);
  // Out-of-range percentages are clamped instead of wrapping the byte.
  EXPECT_EQ(rm::TransitionAlpha(-50, 150, 10, 0), 255);
  EXPECT_EQ(rm::TransitionAlpha(150, -50, 10, 0), 0);
  EXPECT_EQ(rm::CornerFadeAlpha(10, 0, 0), 255);
  EXPECT_EQ(rm::CornerFadeAlpha(10, 3, 4), 127);  // distance 5 of 10
  EXPECT_EQ(rm::CornerFadeAlpha(10, 9, 9), 0);
}

TEST(RenderMath, GradientBands) {
  const int hints[] = {0, 3, 4, 15, 16, 63, 64, 100000}, shifts[] = {1, 1, 2, 3, 4, 5, 6, 6};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(rm::GradientBandShift(hints[i]), shifts[i]);
  // (second × (2^n − k) + first × k) >> n per channel.
  EXPECT_EQ(rm::GradientBandColor(0xFF0000FF, 0xFFFF0000, 0, 2), 0xFFFF0000u);
  EXPECT_EQ(rm::GradientBandColor(0xFF0000FF, 0xFFFF0000, 1, 2), 0xFFBF003Fu);
  EXPECT_EQ(rm::GradientBandColor(0xFF0000FF, 0xFFFF0000, 3, 2), 0xFF3F00BFu);
  // Band 0 ends at the far edge, and the bands tile any length without gaps.
  EXPECT_EQ(rm::GradientBandSpan(100, 0, 2).begin, 75);
  EXPECT_EQ(rm::GradientBandSpan(100, 0, 2).end, 100);
  for (int length : {0, 1, 7, 333}) {
    int covered = 0;
    for (int k = 0; k < 8; ++k) {
      const rm::Span s = rm::GradientBandSpan(length, k, 3);
      if (k > 0) {
        EXPECT_EQ(s.end, rm::GradientBandSpan(length, k - 1, 3).begin);
      }
      covered += s.end - s.begin;
    }
    EXPECT_EQ(covered, length);
  }
}

TEST(RenderMath, BlendRotateAndRadii) {
  EXPECT_EQ(rm::BlendPixel(0xFF204060, 0xFFA0C0E0, 255), 0x00A0C0E0u);  // all source
  EXPECT_EQ(rm::BlendPixel(0xFF204060, 0xFFA0C0E0, 0), 0x00204060u);    // all destination
  EXPECT_EQ(rm::BlendPixel(0xFF000000, 0xFFFFFFFF, 51), 0x00333333u);   // w 0.2 exactly
  EXPECT_EQ(rm::BlendPixel(0x00000000, 0x80FF00FF, 255), 0x00800080u);  // w 128/255
  EXPECT_EQ(rm::BlendPixel(0xFF204060, 0x00FFFFFF, 255), 0x00204060u);

  float x = 10, y = 5;
  rm::RotatePoint(x, y, 90, 5, 5);
  EXPECT_NEAR(x, 5, 1e-4);
  EXPECT_NEAR(y, 10, 1e-4);

  EXPECT_FLOAT_EQ(rm::OutlineRadii(40, 30, 4).y, 3.75f);  // close radii are kept
  EXPECT_FLOAT_EQ(rm::OutlineRadii(200, 20, 2).x, 5.0f);  // 50 vs 5: both the smaller
  EXPECT_FLOAT_EQ(rm::OutlineRadii(40, 30, 0).x, 0.0f);   // no division by zero
}

TEST(RenderMath, TextAndBitmapSizes) {
  EXPECT_EQ(rm::TextWidth(10.01f), 11);
  EXPECT_EQ(rm::TextLineHeight(16.0f), 17);
  EXPECT_EQ(rm::TextLineHeight(16.5f), 20);
  EXPECT_EQ(rm::TextBlockHeight(16.0f, 12.0f), 18);  // t 17 ≥ u 13: t + 1
  EXPECT_EQ(rm::TextBlockHeight(16.5f, 40.5f), 47);  // t 18 < u 42: u + 5

  EXPECT_EQ(rm::BitmapFileDepth(4), 4);
  EXPECT_EQ(rm::BitmapFileDepth(32), 24);
  EXPECT_EQ(rm::BitmapRowSize(24, 3), 12u);
  EXPECT_EQ(rm::BitmapRowSize(1, 33), 8u);
  std::array<uint8_t, rm::kBitmapHeaderSize> h{};
  ASSERT_TRUE(rm::BitmapFileHeader(8, 8, 8, 256, h));  // a colour table moves the pixels
  EXPECT_EQ(h[10] | h[11] << 8, 54 + 1024);
  EXPECT_FALSE(rm::BitmapFileHeader(60000, 60000, 24, 0, h));  // over 4 GiB
  EXPECT_FALSE(rm::BitmapFileHeader(0, 5, 24, 0, h));
}
