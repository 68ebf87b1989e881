// Paint manager arithmetic: surfaces, dirty rectangles, focus order, wheel, keys, drops.
#include "ui/paint/paint_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace Zentu::paint_math {
namespace {

using Surface = std::vector<uint8_t>;

// Pixel (x, y) of a bottom-up surface, picture coordinates.
uint8_t* At(Surface& s, int width, int height, int x, int y) {
  return s.data() + (static_cast<size_t>(height - 1 - y) * width + x) * 4;
}

TEST(PaintSurface, ClearAndRepairAddressRowsBottomUp) {
  const int w = 4, h = 3;
  Surface s(w * h * 4, 0x11);
  ClearPixels(s.data(), w, h, CRect(1, 0, 3, 1));  // top row of the picture, two pixels
  EXPECT_EQ(At(s, w, h, 1, 0)[3], 0);
  EXPECT_EQ(At(s, w, h, 2, 0)[0], 0);
  EXPECT_EQ(At(s, w, h, 0, 0)[0], 0x11);
  // Memory row 0 is the picture's bottom row and was not touched.
  EXPECT_EQ(s[4], 0x11);
  EXPECT_EQ(s[(2 * w + 1) * 4], 0);
}

TEST(PaintSurface, RepairMakesColouredZeroAlphaOpaqueOnlyInsideTheRect) {
  const int w = 3, h = 2;
  Surface s(w * h * 4, 0);
  uint8_t* text = At(s, w, h, 0, 0);
  text[1] = 0x80;                      // GDI text: colour, alpha 0
  uint8_t* black = At(s, w, h, 1, 0);  // exactly 0: stays transparent
  uint8_t* half = At(s, w, h, 2, 0);
  half[0] = 10, half[3] = 100;  // already has alpha: unchanged
  uint8_t* outside = At(s, w, h, 0, 1);
  outside[2] = 0x40;
  RepairAlpha(s.data(), w, h, CRect(0, 0, 3, 1));
  EXPECT_EQ(text[3], 255);
  EXPECT_EQ(black[3], 0);
  EXPECT_EQ(half[3], 100);
  EXPECT_EQ(outside[3], 0);
  // The same rule on whole pixels (0xAARRGGBB), as the kept background is checked with.
  const uint32_t clean[] = {0, 0x01000000, 0xFF123456}, marked[] = {0, 0x00FFFFFF, 0xFE000000};
  EXPECT_FALSE(NeedsAlphaRepair(clean, 3));
  EXPECT_TRUE(NeedsAlphaRepair(marked, 3));
  EXPECT_TRUE(NeedsAlphaRepair(0x00000001u));
}

TEST(PaintSurface, RectsBeyondTheSurfaceAreClipped) {
  const int w = 2, h = 2;
  Surface s(w * h * 4, 0x22);
  ClearPixels(s.data(), w, h, CRect(-5, -5, 100, 1));
  EXPECT_EQ(At(s, w, h, 1, 0)[0], 0);
  EXPECT_EQ(At(s, w, h, 1, 1)[0], 0x22);
  RepairAlpha(nullptr, w, h, CRect(0, 0, 2, 2));  // no surface: nothing happens
  EXPECT_TRUE(ClipToSurface(CRect(0, 0, 5, 5), 0, 5).IsRectEmpty());
  EXPECT_EQ(ClipToSurface(CRect(-1, 1, 9, 9), 4, 3), CRect(0, 1, 4, 3));
}

TEST(PaintSurface, DifferingPartBoundsEveryChangedPixel) {
  const CRect area(10, 20, 14, 23);  // 4 x 3, row by row from the top
  std::vector<uint32_t> before(12, 0x11223344u), after = before;
  EXPECT_TRUE(DifferingPart(before.data(), after.data(), area).IsRectEmpty());
  after[1 * 4 + 0] = 0;  // (10, 21)
  after[2 * 4 + 2] = 1;  // (12, 22)
  EXPECT_EQ(DifferingPart(before.data(), after.data(), area), CRect(10, 21, 13, 23));
}

TEST(PaintColours, ColorRefBecomesArgbWithTheGivenAlpha) {
  EXPECT_EQ(ColorRefToArgb(0xFF30BD, kBackAlpha), 0xFEBD30FFu);
  EXPECT_EQ(ColorRefToArgb(0x050505, 0xFE), 0xFE050505u);
  EXPECT_EQ(ColorRefToArgb(0x12345678, 0), 0x00785634u);  // the top byte is ignored
}

TEST(PaintDirty, LaterVisibleOverlappingControlsJoinTheUnion) {
  const CRect request(0, 0, 10, 10);
  CRect dirty = request;
  EXPECT_TRUE(JoinDirty(dirty, request, CRect(5, 5, 20, 12), true));
  EXPECT_EQ(dirty, CRect(0, 0, 20, 12));
  EXPECT_FALSE(JoinDirty(dirty, request, CRect(15, 0, 30, 5), true));  // overlaps only the union
  EXPECT_FALSE(JoinDirty(dirty, request, CRect(0, 0, 50, 50), false));
  EXPECT_FALSE(JoinDirty(dirty, request, CRect(10, 0, 20, 10), true));  // touching edge only
  EXPECT_EQ(dirty, CRect(0, 0, 20, 12));
}

TEST(PaintFocus, ForwardAndBackwardWrapAround) {
  const std::vector<bool> f = {false, true, false, true};
  EXPECT_EQ(NextFocusIndex(f, 1, true, true), 3);
  EXPECT_EQ(NextFocusIndex(f, 3, true, true), 1);   // wraps to the first focusable
  EXPECT_EQ(NextFocusIndex(f, -1, true, true), 1);  // no focus: the first
  EXPECT_EQ(NextFocusIndex(f, 3, true, false), 1);
  EXPECT_EQ(NextFocusIndex(f, 1, true, false), 3);  // wraps to the last focusable
  EXPECT_EQ(NextFocusIndex(f, -1, true, false), 3);
  EXPECT_EQ(NextFocusIndex(f, 0, true, true), 1);  // an unfocusable focus control
}

TEST(PaintFocus, NothingFocusableOrFocusOutsideTheListGivesNoAnswer) {
  EXPECT_FALSE(NextFocusIndex({false, false}, -1, true, true));
  EXPECT_FALSE(NextFocusIndex({}, -1, true, false));
  EXPECT_FALSE(NextFocusIndex({true, true}, -1, false, true));
  EXPECT_EQ(NextFocusIndex({true}, 0, true, true), 0);  // the only one: itself
}

TEST(PaintWheel, NotchesAndDirection) {
  EXPECT_EQ(SplitWheelDelta(-240).notches, 2);
  EXPECT_EQ(SplitWheelDelta(-240).direction, 1);
  EXPECT_EQ(SplitWheelDelta(0).notches, 0);
  EXPECT_EQ(SplitWheelDelta(0).direction, 1);
  EXPECT_EQ(SplitWheelDelta(120).notches, 1);
  EXPECT_EQ(SplitWheelDelta(120).direction, 0);
  EXPECT_EQ(SplitWheelDelta(119).notches, 0);  // partial notches of precise wheels
  EXPECT_EQ(SplitWheelDelta(-32768).notches, 273);
}

TEST(PaintKeys, ModifierCodes) {
  EXPECT_EQ(ModifierCode(false, false, false), 0u);
  EXPECT_EQ(ModifierCode(false, true, false), 16u);
  EXPECT_EQ(ModifierCode(false, false, true), 17u);
  EXPECT_EQ(ModifierCode(false, true, true), 17u);
  EXPECT_EQ(ModifierCode(true, true, true), 18u);
}

TEST(PaintDrop, EffectFollowsKeysAndWhatTheSourceAllows) {
  const uint32_t all = kEffectCopy | kEffectMove | kEffectLink;
  EXPECT_EQ(ChooseDropEffect(kKeyControl | kKeyShift, all), kEffectLink);
  EXPECT_EQ(ChooseDropEffect(kKeyControl, all), kEffectCopy);
  EXPECT_EQ(ChooseDropEffect(kKeyShift, all), kEffectMove);
  EXPECT_EQ(ChooseDropEffect(0, all), kEffectCopy);
  EXPECT_EQ(ChooseDropEffect(0, kEffectMove | kEffectLink), kEffectMove);
  EXPECT_EQ(ChooseDropEffect(0, kEffectLink), kEffectLink);
  EXPECT_EQ(ChooseDropEffect(kKeyControl, kEffectMove), 0u);  // not allowed: none
  EXPECT_EQ(ChooseDropEffect(0, 0), 0u);
}

TEST(PaintDrag, ThresholdBox) {
  EXPECT_FALSE(DragThresholdPassed(CPoint(10, 10), CPoint(14, 6), 4, 4));
  EXPECT_TRUE(DragThresholdPassed(CPoint(10, 10), CPoint(15, 10), 4, 4));
  EXPECT_TRUE(DragThresholdPassed(CPoint(10, 10), CPoint(10, 5), 4, 4));
  EXPECT_TRUE(DragThresholdPassed(CPoint(INT32_MIN, 0), CPoint(INT32_MAX, 0), 4, 4));
}

TEST(PaintOverlay, TemperatureIsTruncatedTowardZero) {
  EXPECT_EQ(TemperatureText(47.9f), 47);
  EXPECT_EQ(TemperatureText(-3.7f), -3);
  EXPECT_EQ(TemperatureText(0.0f), 0);
  EXPECT_FALSE(TemperatureText(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(TemperatureText(std::numeric_limits<float>::infinity()));
  EXPECT_FALSE(TemperatureText(3e9f));
}

TEST(PaintImages, FrameWidthUsesIntegerDivisionAndGuardsTheCount) {
  EXPECT_EQ(FrameWidth(400, 4), 100);
  EXPECT_EQ(FrameWidth(22, 4), 5);
  EXPECT_EQ(FrameWidth(22, 0), 22);
  EXPECT_EQ(FrameWidth(22, -3), 22);
}

TEST(PaintDrop, DibBitsMustLieInsideTheBlock) {
  const DibHeader rgb{40, 3, 2, 1, 24, 0, 0, 0};  // rows of 12 bytes
  EXPECT_EQ(DibBitsOffset(rgb, 64), 40u);
  EXPECT_EQ(DibBitsOffset(rgb, 63), std::nullopt);
  EXPECT_EQ(DibBitsOffset({40, 3, -2, 1, 8, 0, 0, 2}, 40 + 8 + 8), 48u);        // 2 colours
  EXPECT_EQ(DibBitsOffset({40, 3, 2, 1, 32, 3, 0, 0}, 40 + 12 + 24), 52u);      // masks follow
  EXPECT_EQ(DibBitsOffset({40, 3, 2, 1, 8, 1, 10, 0}, 40 + 1024 + 10), 1064u);  // RLE8
  // Nothing GDI could draw from the block, or sizes whose product leaves 32 bits.
  for (DibHeader bad : {DibHeader{12, 3, 2, 1, 24, 0, 0, 0},
                        {40, 0, 2, 1, 24, 0, 0, 0},
                        {40, 3, 2, 1, 12, 0, 0, 0},
                        {40, 3, 2, 1, 8, 0, 0, 257},
                        {40, 3, -2, 1, 8, 1, 10, 0},
                        {40, 3, INT32_MIN, 1, 24, 0, 0, 0},
                        {40, INT32_MAX, INT32_MAX, 1, 32, 0, 0, 0}})
    EXPECT_EQ(DibBitsOffset(bad, UINT32_MAX), std::nullopt) << bad.size << " " << bad.width;
}

}  // namespace
}  // namespace Zentu::paint_math
