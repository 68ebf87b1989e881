// The bubble tip's placement table and line count.
#include "ui/core/airbladder_math.h"

#include <gtest/gtest.h>

namespace Zentu {
namespace {

TEST(AirBladderMath, PlacementTableByMode) {
  const CPoint at(100, 100);
  // Two lines below the point: near-aligned.
  AirBladderLayout below = PlaceAirBladder(AirBladderModeBelow, at, 120, 18, 2);
  EXPECT_EQ(below.rect, CRect(75, 100, 235, 166));
  EXPECT_EQ(below.lines, 2);
  EXPECT_FALSE(below.centred);
  // One line is centred in every mode; mode 4 centres any text.
  EXPECT_TRUE(PlaceAirBladder(AirBladderModeBelow, at, 120, 18, 1).centred);
  EXPECT_TRUE(PlaceAirBladder(AirBladderModeAbove, at, 120, 18, 3).centred);
  EXPECT_EQ(PlaceAirBladder(AirBladderModeAbove, at, 121, 18, 2).rect, CRect(25, 44, 176, 100));
  const AirBladderLayout keep = PlaceAirBladder(AirBladderModeKeep, at, 120, 18, 4);
  EXPECT_EQ(keep.rect, CRect(100, 90, 260, 127));
  EXPECT_EQ(keep.lines, 2);  // mode 5 lays out two lines fewer

  for (int unknown : {0, 6, -3}) {
    const AirBladderLayout none = PlaceAirBladder(unknown, at, 120, 18, 2);
    EXPECT_EQ(none.rect, CRect(0, 0, 0, 0)) << unknown;
  }
  EXPECT_EQ(CountLines(L"one\ntwo\n"), 3);  // line feeds separate lines
  EXPECT_EQ(CountLines(nullptr), 1);
}

}  // namespace
}  // namespace Zentu
