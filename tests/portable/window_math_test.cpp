// Window placement arithmetic and the skin-folder rule.
#include <gtest/gtest.h>

#include "ui/core/skin_folder.h"
#include "ui/core/window_math.h"

namespace Zentu {
namespace {

TEST(WindowMath, CentresOnTheCentreRectangle) {
  const CRect work(0, 0, 1280, 984);
  EXPECT_EQ(CenteredOrigin(work, work, 300, 200), CPoint(490, 392));
  // Odd sizes: each half is truncated on its own.
  EXPECT_EQ(CenteredOrigin(CRect(0, 0, 101, 101), CRect(0, 0, 1000, 1000), 51, 51), CPoint(25, 25));
  EXPECT_EQ(CenteredOrigin(CRect(100, 100, 300, 200), work, 100, 50), CPoint(150, 125));
}

TEST(WindowMath, StaysInsideTheBoundsAndPrefersLeftAndTop) {
  const CRect work(0, 0, 1280, 984);
  // An owner hanging off the bottom-right corner pulls the window back inside.
  EXPECT_EQ(CenteredOrigin(CRect(1200, 900, 1400, 1100), work, 300, 200), CPoint(980, 784));
  // An owner above and left of the work area: never left of or above it.
  EXPECT_EQ(CenteredOrigin(CRect(-500, -400, -100, -100), work, 300, 200), CPoint(0, 0));
  // Larger than the bounds: stuck to the left and top edges.
  EXPECT_EQ(CenteredOrigin(work, work, 2000, 1500), CPoint(0, 0));
  // A monitor at negative coordinates (left of the primary one).
  const CRect left_monitor(-1920, 0, 0, 1040);
  EXPECT_EQ(CenteredOrigin(left_monitor, left_monitor, 400, 300), CPoint(-1160, 370));
  EXPECT_EQ(CenteredOrigin(left_monitor, left_monitor, 2400, 300), CPoint(-1920, 370));
}

TEST(SkinFolder, ComesFromTheExecutablesDirectory) {
  EXPECT_EQ(SkinFolderFromExePath(L"D:\\Tools\\Calorix.exe"), L"D:\\Tools\\skins\\theme1\\");
  EXPECT_EQ(SkinFolderFromExePath(L"C:\\a b\\c.d\\x"), L"C:\\a b\\c.d\\skins\\theme1\\");
  EXPECT_EQ(SkinFolderFromExePath(L"Z:/work/bin/t.exe"), L"Z:/work/bin/skins\\theme1\\");
  EXPECT_EQ(SkinFolderFromExePath(L"C:\\Calorix.exe"), L"C:\\skins\\theme1\\");
  // No directory part (or no path at all): the folders alone, relative.
  EXPECT_EQ(SkinFolderFromExePath(L"Calorix.exe"), L"skins\\theme1\\");
  EXPECT_EQ(SkinFolderFromExePath(nullptr), L"skins\\theme1\\");
}

}  // namespace
}  // namespace Zentu
