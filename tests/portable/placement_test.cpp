// The main window's home rectangle and the DPI rule.
#include "app/shell/placement.h"

#include <gtest/gtest.h>

namespace calorix {
namespace {

TEST(Placement, HomeSitsThreePixelsInsideTheWorkAreasBottomRight) {
  // A 1920 x 1080 screen with a 40-pixel task bar at the bottom.
  EXPECT_EQ(HomeRect({0, 0, 1920, 1040}), (ScreenRect{1577, 787, 1917, 1037}));
  // A task bar on the left moves nothing but the work area's left edge.
  EXPECT_EQ(HomeRect({60, 0, 1920, 1080}), (ScreenRect{1577, 827, 1917, 1077}));
}

TEST(Placement, OnlySmallScreensBecomeDpiAware) {
  EXPECT_TRUE(NeedsDpiAwareness(1366, 768));
  EXPECT_TRUE(NeedsDpiAwareness(1280, 720));  // 1920 x 1080 at 150 %, as an unaware process
  EXPECT_TRUE(NeedsDpiAwareness(1920, 799));
  EXPECT_FALSE(NeedsDpiAwareness(1920, 1080));
  EXPECT_FALSE(NeedsDpiAwareness(1400, 800));
}

}  // namespace
}  // namespace calorix
