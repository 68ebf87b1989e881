// MButton, MPicture and MText on a real dialog: pixels read back from the paint pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mbutton.h"
#include "ui/controls/mpicture.h"
#include "ui/controls/mtext.h"

namespace paint_test {
namespace {

using Zentu::MButton;
using Events = std::vector<std::pair<unsigned, unsigned>>;

constexpr uint32_t kBorder = 0xFF404040;
constexpr uint32_t kFill[4] = {0xFFC00000, 0xFF00C000, 0xFF0000C0, 0xFFC0C000};

// The pixels of `box` that pass `test`: how many, and their bounds.
template <class Test>
std::pair<int, CRect> Ink(const Surface& s, const CRect& box, Test test) {
  int count = 0;
  CRect bounds(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x)
      if (test(Rgb(s, x, y))) {
        ++count;
        bounds = CRect(std::min<int>(bounds.left, x), std::min<int>(bounds.top, y),
                       std::max<int>(bounds.right, x + 1), std::max<int>(bounds.bottom, y + 1));
      }
  return {count, bounds};
}

class BasicControls : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(dialog_.Open(100, 100, 240, 100), nullptr); }
  Surface Paint() {
    auto surfaces = dialog_.PaintNow();
    return surfaces.empty() ? Surface() : surfaces[0];
  }
  TempSkinFolder skins_;  // outlives the dialog, which holds the images open
  TestDialog dialog_;
};

TEST_F(BasicControls, ButtonStatesShowTheirFramesAndOnlyAPressAndReleaseInsideClicks) {
  // Strips of four frames, each with 8-pixel borders around its own fill: 400 pixels give
  // 100-pixel frames drawn as they are, 200 give 50-pixel frames stretched as nine-grids.
  for (const int fw : {100, 50}) {
    const int left = fw == 100 ? 20 : 130;
    auto* button = static_cast<MButton*>(
        dialog_.CreateControl(L"MButton", fw, CRect(left, 20, left + 100, 50), L"", 1, 1));
    button->SetImage(skins_
                         .WritePng(L"strip" + std::to_wstring(fw) + L".png", 4 * fw, 30,
                                   [fw](int x, int) {
                                     return x % fw < 8 || x % fw >= fw - 8 ? kBorder
                                                                           : kFill[x / fw];
                                   })
                         .c_str(),
                     4);
    auto expect_state = [&](int state) {
      const Surface s = Paint();
      ASSERT_EQ(button->GetState(), state);
      for (int x = 0; x < 100; ++x) {
        // Where a stretched piece meets its neighbour, Wine's GDI+ drops or blends a column
        // at fractional stretch factors (34 to 84 here): those columns are not compared.
        if (fw != 100 && ((x >= 8 && x < 12) || (x >= 88 && x < 93))) continue;
        const uint32_t expected = x < 8 || x >= 92 ? kBorder : kFill[state];
        EXPECT_TRUE(Near(Rgb(s, left + x, 35), expected)) << fw << " " << x;
      }
    };
    dialog_.events.clear();
    expect_state(Zentu::kButtonNormal);
    dialog_.Mouse(WM_MOUSEMOVE, left + 50, 35);
    expect_state(Zentu::kButtonHover);
    dialog_.Mouse(WM_LBUTTONDOWN, left + 50, 35);
    expect_state(Zentu::kButtonPressed);
    dialog_.Mouse(WM_LBUTTONUP, left + 50, 35);
    EXPECT_EQ(dialog_.events, (Events{{fw, 1}, {fw, 2}}));
    button->SetEnabled(0);
    expect_state(Zentu::kButtonDisabled);
  }
  auto* button = static_cast<MButton*>(
      dialog_.CreateControl(L"MButton", 7, CRect(20, 60, 120, 90), L"", 1, 1));
  dialog_.events.clear();
  // Pressed inside, released outside: the press only.
  dialog_.Mouse(WM_MOUSEMOVE, 70, 75);
  dialog_.Mouse(WM_LBUTTONDOWN, 70, 75);
  dialog_.Mouse(WM_LBUTTONUP, 200, 95);
  EXPECT_EQ(dialog_.events, (Events{{7, 1}}));
  EXPECT_EQ(button->GetState(), Zentu::kButtonNormal);
  // Pressed outside, released inside: nothing. Disabled: nothing either.
  dialog_.Mouse(WM_LBUTTONDOWN, 200, 95);
  dialog_.Mouse(WM_MOUSEMOVE, 70, 75);
  dialog_.Mouse(WM_LBUTTONUP, 70, 75);
  button->SetEnabled(0);
  for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) dialog_.Mouse(msg, 71, 75);
  EXPECT_EQ(dialog_.events, (Events{{7, 1}}));
  // Made disabled, a button shows its disabled picture from the start.
  EXPECT_EQ(
      static_cast<MButton*>(dialog_.CreateControl(L"MButton", 8, CRect(), L"", 1, 0))->GetState(),
      Zentu::kButtonDisabled);
}

TEST_F(BasicControls, ButtonCaptionIsGreyWhenDisabledAndShiftedWhenPressed) {
  auto* button = static_cast<MButton*>(
      dialog_.CreateControl(L"MButton", 7, CRect(20, 20, 120, 60), L"H", 1, 1));
  button->SetImage(
      skins_.WritePng(L"dark.png", 400, 40, [](int, int) { return 0xFF202020u; }).c_str(), 4);
  button->SetFont(L"Arial", 24, Gdiplus::FontStyleBold);
  const CRect box(20, 20, 120, 60);
  auto white = [](uint32_t rgb) { return rgb == 0xFFFFFF; };
  auto grey = [](uint32_t rgb) { return rgb == 0x808080; };
  auto light = [](uint32_t rgb) { return (rgb & 0xC0C0C0) == 0xC0C0C0; };

  const Surface normal = Paint();
  EXPECT_GT(Ink(normal, box, white).first, 5);
  EXPECT_EQ(Ink(normal, box, grey).first, 0);
  dialog_.Mouse(WM_MOUSEMOVE, 110, 25);
  const auto hover = Ink(Paint(), box, light);
  dialog_.Mouse(WM_LBUTTONDOWN, 110, 25);
  const auto pressed = Ink(Paint(), box, light);
  ASSERT_GT(hover.first, 5);
  EXPECT_EQ(pressed.first, hover.first);
  const CRect h = hover.second;
  EXPECT_EQ(pressed.second, CRect(h.left + 1, h.top + 1, h.right + 1, h.bottom + 1));
  dialog_.Mouse(WM_LBUTTONUP, 110, 25);
  button->SetEnabled(0);
  const Surface disabled = Paint();
  EXPECT_GT(Ink(disabled, box, grey).first, 5);
  EXPECT_EQ(Ink(disabled, box, white).first, 0);
}

TEST_F(BasicControls, PictureShowModesAndBottomRightAlignment) {
  auto* picture = static_cast<Zentu::MPicture*>(
      dialog_.CreateControl(L"MPicture", 3, CRect(20, 20, 120, 70), L"ignored", 1, 1));
  EXPECT_EQ(picture->GetTitle(), Zentu::CString());
  EXPECT_EQ(picture->SetImage(skins_.Name(L"missing.png").c_str(), 1), 0);
  const std::wstring green =
      skins_.WritePng(L"green.png", 20, 10, [](int, int) { return 0xFF00C000u; });
  EXPECT_EQ(picture->SetImage(green.c_str(), 1), 1);
  const int steps[][3] = {{0, 4, 0}, {0, 9, 0}, {3, 4, 1}, {3, 4, 0},
                          {3, 6, 1}, {2, 6, 1}, {2, 9, 0}, {0, 4, 1}};  // mode, corner, result
  for (const auto& step : steps)
    EXPECT_EQ(picture->SetShowMode(step[0], step[1]), step[2]) << step[0] << " " << step[1];

  picture->SetAlignment(Zentu::kAlignRight, Zentu::kAlignBottom);
  const Surface s = Paint();  // the 20 x 10 image at the bottom right of 100 x 50
  EXPECT_TRUE(Near(Rgb(s, 101, 61), 0x00C000));
  EXPECT_TRUE(Near(Rgb(s, 119, 69), 0x00C000));
  EXPECT_FALSE(Near(Rgb(s, 98, 65), 0x00C000));
  EXPECT_FALSE(Near(Rgb(s, 110, 58), 0x00C000));
}

TEST_F(BasicControls, TextBackKeepsItsFirstColourAndAWrappedBlockIsCentred) {
  auto* text = static_cast<Zentu::MText*>(
      dialog_.CreateControl(L"MText", 4, CRect(10, 10, 130, 90), L"", 1, 1));
  EXPECT_FALSE(text->IsEnabled());  // always made disabled
  text->EnableTextBack(1, Gdiplus::Color(0xFFFF0000));
  text->EnableTextBack(1, Gdiplus::Color(0xFF0000FF));  // the flag stays: the colour too
  EXPECT_TRUE(Near(Rgb(Paint(), 12, 12), 0xFF0000));
  text->EnableTextBack(0, Gdiplus::Color(0));

  text->SetTitle(L"one two three four five six seven eight");
  text->SetVAlignment(Zentu::kAlignTop);
  text->EnableMultiLine(1);
  text->EnableVCenter(1);
  const CRect box(10, 10, 130, 90);
  auto ink = [](uint32_t rgb) { return (rgb & 0xFF) > 0x80; };
  text->UpdateControl(1, 0);
  const CRect centred = Ink(Paint(), box, ink).second;
  EXPECT_GT(centred.Height(), 2 * 14);  // wrapped into more than one line
  const int above = centred.top - box.top, below = box.bottom - centred.bottom;
  EXPECT_LE(std::abs(above - below), 3) << above << " " << below;
  text->EnableVCenter(0);  // stored only: shown at the next redraw
  text->UpdateControl(1, 0);
  EXPECT_LT(Ink(Paint(), box, ink).second.top - box.top, above - 5);

  // A null mark text changes nothing, instead of raising a failure out of the library.
  text->SetMarkText(L"mark");
  text->SetMarkText(nullptr);
  text->SetTitleMarkText(nullptr, L"other", 1);
  EXPECT_EQ(text->GetMarkText(), Zentu::CString(L"mark"));
}

}  // namespace
}  // namespace paint_test
