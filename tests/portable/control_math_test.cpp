// Anchored positions and move repaint rectangles of the control base.
#include "ui/controls/control_math.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace Zentu {
namespace {

FS_POSITION_ITEM Item(int anchor, int from_far, float value) { return {anchor, from_far, value}; }

TEST(PositionItem2Value, PercentageOfTheSpanIsCappedAtTheFarEdge) {
  EXPECT_EQ(PositionItem2Value(Item(2, 0, 50.f), 100, 300), 200);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, 150.f), 100, 300), 300);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, 0.f), 100, 300), 100);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, 33.f), 0, 10), 3);  // 3.3 truncated
  // The far-edge flag plays no part in percentages.
  EXPECT_EQ(PositionItem2Value(Item(2, 1, 50.f), 100, 300), 200);
}

TEST(PositionItem2Value, EdgeAndMiddleAnchorsTruncateTheValueFirst) {
  EXPECT_EQ(PositionItem2Value(Item(0, 0, 7.9f), 100, 300), 107);
  EXPECT_EQ(PositionItem2Value(Item(0, 1, 7.9f), 100, 300), 293);
  EXPECT_EQ(PositionItem2Value(Item(0, 0, -7.9f), 100, 300), 93);
  EXPECT_EQ(PositionItem2Value(Item(1, 0, 10.5f), 100, 300), 210);
  EXPECT_EQ(PositionItem2Value(Item(1, 1, 10.5f), 100, 300), 190);
  EXPECT_EQ(PositionItem2Value(Item(1, 0, 0.f), 0, 5), 2);  // the middle rounds down
}

TEST(PositionItem2Value, UnknownAnchorsPlaceAtZero) {
  EXPECT_EQ(PositionItem2Value(Item(3, 0, 50.f), 100, 300), 0);
  EXPECT_EQ(PositionItem2Value(Item(-1, 1, 50.f), 100, 300), 0);
}

TEST(PositionItem2Value, ValuesOutsideTheIntRangeAreClampedNotUndefined) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(PositionItem2Value(Item(0, 0, 1e20f), 0, 10), INT_MAX);
  EXPECT_EQ(PositionItem2Value(Item(0, 1, 1e20f), 0, 10), 10 - INT_MAX);  // value clamped first
  EXPECT_EQ(PositionItem2Value(Item(0, 0, -inf), 0, 10), INT_MIN);
  EXPECT_EQ(PositionItem2Value(Item(0, 0, nan), 5, 10), 5);
  EXPECT_EQ(PositionItem2Value(Item(1, 0, 10.f), INT_MIN, INT_MAX), 9);
  EXPECT_EQ(PositionItem2Value(Item(0, 0, 10.f), INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, inf), 0, 10), 10);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, nan), 3, 10), 3);
  EXPECT_EQ(PositionItem2Value(Item(2, 0, 100.f), INT_MIN, INT_MAX), INT_MAX);
}

TEST(MoveRepaintRect, CoversBothPlacesOrWhicheverExists) {
  EXPECT_EQ(MoveRepaintRect(CRect(0, 0, 10, 10), CRect(20, 0, 30, 10)), CRect(0, 0, 30, 10));
  EXPECT_EQ(MoveRepaintRect(CRect(5, 5, 15, 15), CRect(0, 0, 10, 10)), CRect(0, 0, 15, 15));
  EXPECT_EQ(MoveRepaintRect(CRect(), CRect(20, 0, 30, 10)), CRect(20, 0, 30, 10));
  EXPECT_EQ(MoveRepaintRect(CRect(0, 0, 10, 10), CRect(4, 4, 4, 4)), CRect(0, 0, 10, 10));
  EXPECT_TRUE(MoveRepaintRect(CRect(), CRect()).IsRectEmpty());
}

}  // namespace
}  // namespace Zentu
