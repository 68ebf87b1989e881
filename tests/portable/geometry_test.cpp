// CRect and CPoint: the platform's rectangle rules, without the platform.
#include "ui/core/geometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace Zentu {
namespace {

TEST(Geometry, SizeContainmentAndEmptiness) {
  const CRect r(10, 20, 110, 70);
  EXPECT_EQ(r.Width(), 100);
  EXPECT_EQ(r.Height(), 50);
  EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
  EXPECT_TRUE(r.PtInRect(CPoint(109, 69)));
  EXPECT_FALSE(r.PtInRect(CPoint(110, 30)));
  EXPECT_FALSE(r.PtInRect(CPoint(50, 70)));
  EXPECT_FALSE(r.PtInRect(CPoint(9, 30)));
  EXPECT_EQ(r.CenterPoint(), CPoint(60, 45));
  EXPECT_TRUE(CRect().IsRectEmpty());
  EXPECT_TRUE(CRect().IsRectNull());
  EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());  // no width
  EXPECT_TRUE(CRect(5, 9, 9, 5).IsRectEmpty());  // inverted
  EXPECT_FALSE(CRect(-5, -5, -4, -4).IsRectEmpty());
  EXPECT_FALSE(CRect(-5, -5, -4, -4).IsRectNull());
  CRect inverted(9, 8, 1, 2);
  inverted.NormalizeRect();
  EXPECT_EQ(inverted, CRect(1, 2, 9, 8));
}

TEST(Geometry, IntersectRect) {
  CRect out(1, 1, 1, 1);
  EXPECT_TRUE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(5, -5, 20, 6)));
  EXPECT_EQ(out, CRect(5, 0, 10, 6));
  // Touching edges do not overlap; the result is all zero, not some inverted rectangle.
  EXPECT_FALSE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(10, 0, 20, 10)));
  EXPECT_TRUE(out.IsRectNull());
  EXPECT_FALSE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(3, 3, 3, 8)));
  EXPECT_TRUE(out.IsRectNull());
  CRect a(0, 0, 10, 10);
  a &= CRect(2, 2, 4, 4);  // the result may be one of the inputs
  EXPECT_EQ(a, CRect(2, 2, 4, 4));
}

TEST(Geometry, UnionRectIgnoresEmptyInputs) {
  CRect out;
  EXPECT_TRUE(out.UnionRect(CRect(0, 0, 10, 10), CRect(20, -5, 30, 5)));
  EXPECT_EQ(out, CRect(0, -5, 30, 10));
  EXPECT_TRUE(out.UnionRect(CRect(100, 100, 100, 200), CRect(1, 2, 3, 4)));
  EXPECT_EQ(out, CRect(1, 2, 3, 4));
  EXPECT_TRUE(out.UnionRect(CRect(1, 2, 3, 4), CRect()));
  EXPECT_EQ(out, CRect(1, 2, 3, 4));
  EXPECT_FALSE(out.UnionRect(CRect(5, 5, 1, 1), CRect()));
  EXPECT_TRUE(out.IsRectNull());
  CRect b(0, 0, 1, 1);
  b |= CRect(4, 4, 5, 5);
  EXPECT_EQ(b, CRect(0, 0, 5, 5));
}

TEST(Geometry, ExtremeCoordinatesWrapInsteadOfOverflowing) {
  // The platform's 32-bit arithmetic wraps; here that must not be undefined behaviour.
  const CRect huge(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
  EXPECT_EQ(huge.Width(), -1);
  EXPECT_EQ(huge.CenterPoint(), CPoint(0, 0));
  CRect r(INT_MAX - 1, 0, INT_MAX, 1);
  r.OffsetRect(2, 0);
  EXPECT_EQ(r.left, INT_MIN);
  EXPECT_EQ(r.Width(), 1);
}

}  // namespace
}  // namespace Zentu
