// MButton, MPicture and MText on a real dialog: pixels read back from the paint pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/win/dialog_test_support.h"
#include "ui/controls/mbutton.h"
#include "ui/controls/mpicture.h"
#include "ui/controls/mtext.h"

namespace paint_test {
namespace {

using Zentu::MButton;
using Zentu::MPicture;
using Zentu::MText;

constexpr uint32_t kBorder = 0xFF404040;
constexpr uint32_t kFill[4] = {0xFFC00000, 0xFF00C000, 0xFF0000C0, 0xFFC0C000};

bool Near(uint32_t actual, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (std::abs(a - e) > 3) return false;
  }
  return true;
}

// Four frames side by side; each has 8-pixel borders left and right around its own fill.
uint32_t StripPixel(int x, int, const void* frame_width) {
  const int fw = *static_cast<const int*>(frame_width), local = x % fw;
  return local < 8 || local >= fw - 8 ? kBorder : kFill[x / fw];
}

// Pixels of `box` that pass `test`, and their bounding box.
struct Ink {
  int count = 0;
  CRect bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};
template <class Test>
Ink FindInk(const Surface& s, const CRect& box, Test test) {
  Ink ink;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x)
      if (test(Rgb(s, x, y))) {
        ++ink.count;
        ink.bounds =
            CRect(std::min<int>(ink.bounds.left, x), std::min<int>(ink.bounds.top, y),
                  std::max<int>(ink.bounds.right, x + 1), std::max<int>(ink.bounds.bottom, y + 1));
      }
  return ink;
}

class BasicControls : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(dialog_.Open(100, 100, 240, 100), nullptr); }
  MButton* Button(CRect rect, const wchar_t* caption, const std::wstring& strip) {
    auto* b = static_cast<MButton*>(dialog_.CreateControl(L"MButton", 7, rect, caption, 1, 1));
    if (b) b->SetImage(strip.c_str(), 4);
    return b;
  }
  Surface Paint() {
    auto surfaces = dialog_.PaintNow();
    return surfaces.empty() ? Surface() : surfaces[0];
  }

  TempSkinFolder skins_;  // outlives the dialog, which holds the images open
  TestDialog dialog_;
};

TEST_F(BasicControls, ButtonShowsTheFrameOfEachStateAsANineGrid) {
  // A 400-pixel strip gives 100-pixel frames (drawn as they are), a 200-pixel one
  // 50-pixel frames, stretched with their 8-pixel borders kept.
  int widths[] = {100, 50};
  for (int& fw : widths) {
    const std::wstring strip =
        skins_.WritePng(L"strip" + std::to_wstring(fw) + L".png", 4 * fw, 30, StripPixel, &fw);
    const int left = fw == 100 ? 20 : 130;
    MButton* button = Button(CRect(left, 20, left + 100, 50), L"", strip);
    ASSERT_NE(button, nullptr);
    auto expect_state = [&](int state) {
      const Surface s = Paint();
      ASSERT_EQ(button->GetState(), state);
      // Column by column: the borders keep their 8 pixels. Where a stretched piece meets
      // its neighbour, Wine's GDI+ drops or blends a column at fractional stretch
      // factors (34 to 84 here); those few columns are not compared.
      for (int x = 0; x < 100; ++x) {
        if (fw != 100 && ((x >= 8 && x < 12) || (x >= 88 && x < 93))) continue;
        const uint32_t expected = x < 8 || x >= 92 ? kBorder : kFill[state];
        EXPECT_TRUE(Near(Rgb(s, left + x, 35), expected)) << fw << " " << state << " " << x;
      }
    };
    expect_state(Zentu::kButtonNormal);
    dialog_.MoveTo(left + 50, 35);
    expect_state(Zentu::kButtonHover);
    dialog_.Press(left + 50, 35);
    expect_state(Zentu::kButtonPressed);
    dialog_.Release(left + 50, 35);
    button->SetEnabled(0);
    expect_state(Zentu::kButtonDisabled);
  }
}

TEST_F(BasicControls, ButtonReportsAClickOnlyForAPressAndReleaseInside) {
  int fw = 100;
  MButton* button =
      Button(CRect(20, 20, 120, 50), L"", skins_.WritePng(L"s.png", 400, 30, StripPixel, &fw));
  ASSERT_NE(button, nullptr);
  using Events = std::vector<std::pair<unsigned, unsigned>>;
  dialog_.MoveTo(70, 35);
  dialog_.Press(70, 35);
  EXPECT_EQ(dialog_.events, (Events{{7, 1}}));
  dialog_.Release(70, 35);
  EXPECT_EQ(dialog_.events, (Events{{7, 1}, {7, 2}}));
  EXPECT_EQ(button->GetState(), Zentu::kButtonHover);

  // Pressed inside, released outside: the press only.
  dialog_.events.clear();
  dialog_.Press(70, 35);
  dialog_.MoveTo(200, 80);
  dialog_.Release(200, 80);
  EXPECT_EQ(dialog_.events, (Events{{7, 1}}));
  EXPECT_EQ(button->GetState(), Zentu::kButtonNormal);

  // Pressed outside, released inside: nothing.
  dialog_.events.clear();
  dialog_.Press(200, 80);
  dialog_.MoveTo(70, 35);
  dialog_.Release(70, 35);
  EXPECT_TRUE(dialog_.events.empty());

  // A disabled button ignores the mouse.
  button->SetEnabled(0);
  dialog_.MoveTo(71, 35);
  dialog_.Press(71, 35);
  dialog_.Release(71, 35);
  EXPECT_TRUE(dialog_.events.empty());
  EXPECT_EQ(button->GetState(), Zentu::kButtonDisabled);
  // Made disabled, a button shows its disabled picture from the start.
  auto* off = static_cast<MButton*>(
      dialog_.CreateControl(L"MButton", 8, CRect(130, 20, 230, 50), L"", 1, 0));
  EXPECT_EQ(off->GetState(), Zentu::kButtonDisabled);
}

TEST_F(BasicControls, ButtonCaptionIsGreyWhenDisabledAndShiftedWhenPressed) {
  MButton* button =
      Button(CRect(20, 20, 120, 60), L"H", skins_.WriteSolidPng(L"dark.png", 400, 40, 0xFF202020));
  ASSERT_NE(button, nullptr);
  button->SetFont(L"Arial", 24, Gdiplus::FontStyleBold);
  const CRect box(20, 20, 120, 60);
  auto white = [](uint32_t rgb) { return rgb == 0xFFFFFF; };
  auto grey = [](uint32_t rgb) { return rgb == 0x808080; };
  auto light = [](uint32_t rgb) {
    return (rgb & 0xFF) > 0xC0 && ((rgb >> 8) & 0xFF) > 0xC0 && (rgb >> 16) > 0xC0;
  };

  const Surface normal = Paint();
  EXPECT_GT(FindInk(normal, box, white).count, 5);
  EXPECT_EQ(FindInk(normal, box, grey).count, 0);
  dialog_.MoveTo(110, 25);
  const Ink hover = FindInk(Paint(), box, light);
  dialog_.Press(110, 25);
  const Ink pressed = FindInk(Paint(), box, light);
  ASSERT_GT(hover.count, 5);
  EXPECT_EQ(pressed.count, hover.count);
  EXPECT_EQ(pressed.bounds, CRect(hover.bounds.left + 1, hover.bounds.top + 1,
                                  hover.bounds.right + 1, hover.bounds.bottom + 1));
  dialog_.Release(110, 25);

  button->SetEnabled(0);
  const Surface disabled = Paint();
  EXPECT_GT(FindInk(disabled, box, grey).count, 5);
  EXPECT_EQ(FindInk(disabled, box, light).count, 0);
}

TEST_F(BasicControls, PictureShowModesAndBottomRightAlignment) {
  auto* picture = static_cast<MPicture*>(
      dialog_.CreateControl(L"MPicture", 3, CRect(20, 20, 120, 70), L"ignored", 1, 1));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->GetTitle(), Zentu::CString());
  EXPECT_EQ(picture->SetImage(skins_.Name(L"missing.png").c_str(), 1), 0);
  EXPECT_EQ(picture->GetImage(), nullptr);
  EXPECT_EQ(picture->SetImage(skins_.WriteSolidPng(L"green.png", 20, 10, 0xFF00C000).c_str(), 1),
            1);

  const struct {
    int mode, corner, result;
  } steps[] = {{0, 4, 0}, {0, 9, 0}, {3, 4, 1}, {3, 4, 0},
               {3, 6, 1}, {2, 6, 1}, {2, 9, 0}, {0, 4, 1}};
  for (const auto& step : steps)
    EXPECT_EQ(picture->SetShowMode(step.mode, step.corner), step.result)
        << step.mode << " " << step.corner;

  picture->SetAlignment(Zentu::kAlignRight);
  picture->SetVAlignment(Zentu::kAlignBottom);
  const Surface s = Paint();
  EXPECT_TRUE(Near(Rgb(s, 110, 65), 0x00C000));  // the image's 20 x 10 at the bottom right
  EXPECT_TRUE(Near(Rgb(s, 101, 61), 0x00C000));
  EXPECT_FALSE(Near(Rgb(s, 98, 65), 0x00C000));
  EXPECT_FALSE(Near(Rgb(s, 110, 58), 0x00C000));
}

TEST_F(BasicControls, TextBackKeepsItsFirstColourAndAWrappedBlockIsCentred) {
  auto* text =
      static_cast<MText*>(dialog_.CreateControl(L"MText", 4, CRect(10, 10, 130, 90), L"", 1, 1));
  ASSERT_NE(text, nullptr);
  EXPECT_FALSE(text->IsEnabled());  // always created disabled
  text->EnableTextBack(1, Gdiplus::Color(0xFFFF0000));
  EXPECT_TRUE(Near(Rgb(Paint(), 12, 12), 0xFF0000));
  text->EnableTextBack(1, Gdiplus::Color(0xFF0000FF));
  EXPECT_TRUE(Near(Rgb(Paint(), 12, 12), 0xFF0000));  // the flag did not change
  text->EnableTextBack(0, Gdiplus::Color(0xFF0000FF));
  text->EnableTextBack(1, Gdiplus::Color(0xFF0000FF));
  EXPECT_TRUE(Near(Rgb(Paint(), 12, 12), 0x0000FF));
  text->EnableTextBack(0, Gdiplus::Color(0));

  text->SetTitle(L"one two three four five six seven eight");
  text->SetVAlignment(Zentu::kAlignTop);
  text->EnableMultiLine(1);
  text->EnableVCenter(1);
  const CRect box(10, 10, 130, 90);
  auto ink = [](uint32_t rgb) { return (rgb & 0xFF) > 0x80; };
  text->UpdateControl(1, 0);
  const Ink centred = FindInk(Paint(), box, ink);
  ASSERT_GT(centred.count, 20);
  EXPECT_GT(centred.bounds.Height(), 2 * 14);  // wrapped into more than one line
  const int above = centred.bounds.top - box.top, below = box.bottom - centred.bounds.bottom;
  EXPECT_LE(std::abs(above - below), 3) << above << " " << below;
  text->EnableVCenter(0);  // stored only: the next redraw shows it
  text->UpdateControl(1, 0);
  const Ink top = FindInk(Paint(), box, ink);
  EXPECT_LT(top.bounds.top - box.top, above - 5);

  // The mark text is stored, asks for a redraw only when it changes, and a null one is
  // refused instead of raising a failure out of the library.
  const int requests = dialog_.update_requests;
  text->SetMarkText(L"mark");
  text->SetMarkText(L"mark");
  text->SetMarkText(nullptr);
  text->SetTitleMarkText(nullptr, L"other", 1);
  EXPECT_EQ(text->GetMarkText(), Zentu::CString(L"mark"));
  EXPECT_EQ(dialog_.update_requests, requests + 1);
}

}  // namespace
}  // namespace paint_test
