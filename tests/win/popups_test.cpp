// The drop shadow, the bubble tip and the tooltip under Wine: real windows, real messages.
#include <gtest/gtest.h>

#include "tests/win/paint_test_support.h"
#include "ui/core/mairbladder.h"
#include "ui/core/manager.h"
#include "ui/core/mshadow.h"
#include "ui/paint/mrender.h"

namespace paint_test {
namespace {

using namespace Zentu;

CRect WindowRect(HWND hwnd) {
  CRect r;
  ::GetWindowRect(hwnd, &r);
  return r;
}

class Popups : public ::testing::Test {
 protected:
  void SetUp() override {
    // "ShadowWnd" is registered with, and the shadow image comes from, the program's module.
    Manager::SetInstance(::GetModuleHandleW(nullptr));
    ASSERT_NE(host_.Open(200, 200, 300, 200, false), nullptr);
  }
  HWND hwnd() const { return host_.hwnd(); }
  void MoveTo(int x, int y) {
    ::SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
  }

  HostWindow host_;
  PaintManager& pm_ = host_.pm;
};

// ---- drop shadow ----

TEST_F(Popups, TheShadowSitsBehindItsDialogAndFollowsMovesMinimiseAndDisabling) {
  ::SetWindowRgn(hwnd(), ::CreateRectRgn(0, 0, 300, 200), TRUE);
  pm_.CreateShadow(1, false);
  const HWND shadow = pm_.GetShadow().GetShadowWnd();
  ASSERT_TRUE(::IsWindow(shadow));
  EXPECT_TRUE(::IsWindowVisible(shadow));
  EXPECT_EQ(::GetWindow(shadow, GW_OWNER), hwnd());
  EXPECT_EQ(::GetWindowLongW(shadow, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT),
            WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_TRUE(WindowRect(shadow).IsRectEmpty());  // size 0: nothing drawn yet

  EXPECT_EQ(pm_.SetSize(10), 1);
  EXPECT_EQ(pm_.SetSharpness(5), 1);
  EXPECT_EQ(WindowRect(shadow), CRect(195, 195, 515, 415));  // offsets 5, 5
  // An owned window never goes behind its owner: it stays directly in front, where the
  // transparent cut-out shows the dialog.
  EXPECT_EQ(::GetWindow(hwnd(), GW_HWNDPREV), shadow);

  // Out of range: refused, nothing changes.
  for (int refused : {pm_.SetSize(36), pm_.SetSharpness(36), pm_.SetDarkness(256),
                      pm_.SetPosition(0, 40), pm_.SetPosition(0, -36)})
    EXPECT_EQ(refused, 0);
  const MShadow& s = pm_.GetShadow();
  EXPECT_EQ(s.GetSize(), 10);
  EXPECT_EQ(s.GetSharpness(), 5u);
  EXPECT_EQ(s.GetDarkness(), 150u);
  EXPECT_EQ(s.GetOffsetY(), 5);
  EXPECT_EQ(pm_.SetDarkness(255), 1);

  MoveTo(260, 240);
  EXPECT_EQ(WindowRect(shadow), CRect(255, 235, 575, 455));

  ::ShowWindow(hwnd(), SW_MINIMIZE);
  PumpMessages();
  EXPECT_FALSE(::IsWindowVisible(shadow));
  ::ShowWindow(hwnd(), SW_RESTORE);
  PumpMessages();
  EXPECT_TRUE(::IsWindowVisible(shadow));

  pm_.DisableShadow(1);
  EXPECT_FALSE(::IsWindowVisible(shadow));
  MoveTo(300, 260);
  EXPECT_EQ(WindowRect(shadow).TopLeft(), CPoint(255, 235));  // moves are ignored meanwhile
  pm_.DisableShadow(0);
  EXPECT_TRUE(::IsWindowVisible(shadow));
  EXPECT_EQ(WindowRect(shadow), CRect(295, 255, 615, 475));

  host_.Close();
  EXPECT_FALSE(::IsWindow(shadow));
}

TEST_F(Popups, AnImageShadowReachesAsFarAsItsMarginsAndCopiesKeepTheImage) {
  pm_.CreateShadow(1, false);
  const HWND shadow = pm_.GetShadow().GetShadowWnd();
  ASSERT_EQ(pm_.SetShadowImage(101u, CRect(8, 4, 12, 16)), 0);  // the resource form answers 0
  EXPECT_NE(pm_.GetShadow().GetImage(), nullptr);
  EXPECT_EQ(WindowRect(shadow), CRect(192, 196, 512, 416));
  pm_.SetShadowImage(101u, CRect(-1, 0, 0, 0));  // a negative margin keeps the old ones
  EXPECT_EQ(WindowRect(shadow), CRect(192, 196, 512, 416));

  MShadow copy;
  EXPECT_EQ(pm_.GetShadow().CopyShadow(&copy), 1);
  EXPECT_EQ(copy.IsImageMode(), 1);
  EXPECT_EQ(copy.GetImageResID(), 101u);
  EXPECT_NE(copy.GetImage(), nullptr);
  EXPECT_EQ(copy.IsShowShadow(), 1);
  EXPECT_EQ(pm_.GetShadow().CopyShadow(nullptr), 0);
}

TEST_F(Popups, AShadowGoneBeforeItsDialogGivesTheWindowProcedureBack) {
  const LONG_PTR original = ::GetWindowLongPtrW(hwnd(), GWLP_WNDPROC);
  HWND shadow_window = nullptr;
  MShadow::Initialize(Manager::m_hInstance, false);
  {
    MShadow shadow;
    shadow.ShowShadow(1);
    shadow.Create(&pm_);
    shadow_window = shadow.GetShadowWnd();
    ASSERT_TRUE(::IsWindow(shadow_window));
    EXPECT_NE(::GetWindowLongPtrW(hwnd(), GWLP_WNDPROC), original);
    MShadow second;  // one shadow per window
    second.ShowShadow(1);
    second.Create(&pm_);
    EXPECT_EQ(second.GetShadowWnd(), nullptr);
  }
  EXPECT_EQ(::GetWindowLongPtrW(hwnd(), GWLP_WNDPROC), original);
  EXPECT_FALSE(::IsWindow(shadow_window));
  MoveTo(220, 230);  // reaches the dialog, not the dead shadow
  ::ShowWindow(hwnd(), SW_HIDE);
  PumpMessages();
}

// ---- bubble tip ----

class CountingBubble : public MAirBladder {
 public:
  int OnPaint() override {
    ++paints;
    return MAirBladder::OnPaint();
  }
  int OnWindowPosChanged(WINDOWPOS* pos) override {
    if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) ++moves;
    return 1;
  }
  int paints = 0;
  int moves = 0;
};

TEST_F(Popups, TheBubbleFitsItsTextAndTheSameMessageTwiceNeitherMovesNorRepaints) {
  CountingBubble bubble;
  ASSERT_NE(bubble.Create(hwnd(), L"AirBladder Window", 0x96000080, 0, CRect()), nullptr);
  ASSERT_NE(bubble.GetFontFamily(), nullptr);  // the library's embedded font
  const POINT at{400, 300};
  const wchar_t* text = L"First line\nsecond";
  ASSERT_EQ(bubble.SetAirBladderMsg(text, at, AirBladderTypeStay, AirBladderModeBelow), 1);
  PumpMessages();
  EXPECT_GT(bubble.paints, 0);
  EXPECT_GT(bubble.moves, 0);
  EXPECT_EQ(bubble.GetLineCount(), 2);
  EXPECT_EQ(bubble.GetStringFormat().GetAlignment(), Gdiplus::StringAlignmentNear);

  Gdiplus::Font font(bubble.GetFontFamily(), 14.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
  Gdiplus::StringFormat near_format(Gdiplus::StringFormatFlagsNoWrap |
                                    Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
  const Gdiplus::Size measured = MRender::GetTextBounds(&font, &near_format, text);
  ASSERT_GT(measured.Width, 0);
  EXPECT_EQ(WindowRect(bubble.GetSafeHwnd()),
            CRect(at.x - 25, at.y, at.x + measured.Width + 15, at.y + 2 * measured.Height + 30));

  const int paints = bubble.paints, moves = bubble.moves;
  ASSERT_EQ(bubble.SetAirBladderMsg(text, at, AirBladderTypeStay, AirBladderModeBelow), 1);
  PumpMessages();
  EXPECT_EQ(bubble.paints, paints);
  EXPECT_EQ(bubble.moves, moves);

  bubble.SetAirBladderMsg(L"one line", at, AirBladderTypeStay, AirBladderModeBelow);
  EXPECT_EQ(bubble.GetStringFormat().GetAlignment(), Gdiplus::StringAlignmentCenter);
  bubble.SetAirBladderMsg(L"nowhere", at, AirBladderTypeStay, static_cast<AIRBLADDER_MODE>(9));
  EXPECT_EQ(WindowRect(bubble.GetSafeHwnd()), CRect(0, 0, 0, 0));
  EXPECT_EQ(bubble.SetAirBladderMsg(nullptr, at, AirBladderTypeStay, AirBladderModeBelow), 0);
  EXPECT_EQ(bubble.GetText(), CString(L"nowhere"));
  bubble.DestroyWindow();
}

TEST_F(Popups, TheManagersBubbleHidesAfterItsDelayUnlessItStays) {
  const POINT at{300, 300};
  ASSERT_EQ(pm_.ShowAirBladder(1, AirBladderModeKeep), 0);  // no bubble yet
  ASSERT_EQ(pm_.SetAirBladderMsg(L"a\nb\nc", at, AirBladderTypeStay, AirBladderModeKeep), 1);
  MAirBladder* bubble = pm_.GetAirBladder();
  ASSERT_NE(bubble, nullptr);
  const HWND b = bubble->GetSafeHwnd();
  wchar_t title[64] = {};
  ::GetWindowTextW(b, title, 64);
  EXPECT_STREQ(title, L"AirBladder Window");
  EXPECT_EQ(::GetWindow(b, GW_OWNER), hwnd());
  // 0x96000080 as created, without caption and frame, with 0x06000008 added.
  EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(b, GWL_STYLE)), 0x96000088u);
  EXPECT_TRUE(::GetWindowLongW(b, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_EQ(bubble->LoadBKImage(101, L"PNG"), 1);  // the program's own resource
  EXPECT_NE(bubble->GetBKImage(), nullptr);

  // Mode 5 keeps the bubble when it loses the focus, so only the timer can hide it here.
  bubble->SetHideDelay(100);
  pm_.ShowAirBladder(1, AirBladderModeKeep);
  ::Sleep(400);
  PumpMessages();
  EXPECT_TRUE(::IsWindowVisible(b));  // type 4 stays
  ASSERT_EQ(pm_.SetAirBladderMsg(L"gone\nsoon\n!", at, AirBladderTypeTimed, AirBladderModeKeep), 1);
  EXPECT_EQ(pm_.GetAirBladder(), bubble);  // created once
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(b); }, 5000));

  // Hiding with another mode than the one it was shown with leaves it.
  pm_.ShowAirBladder(1, AirBladderModeKeep);
  EXPECT_EQ(pm_.ShowAirBladder(0, AirBladderModeBelow), 0);
  EXPECT_TRUE(::IsWindowVisible(b));
  ::SendMessageW(b, WM_KILLFOCUS, 0, 0);
  EXPECT_TRUE(::IsWindowVisible(b));  // mode 5
  pm_.SetAirBladderMsg(L"below", at, AirBladderTypeStay, AirBladderModeBelow);
  ::SendMessageW(b, WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(b));  // any other mode hides on focus loss
}

// ---- tooltip ----

TEST_F(Popups, TheTooltipIsCreatedOnceWithItsStylesAndTool1313) {
  pm_.SetTooltip(L"first", CRect());
  const HWND tip = pm_.GetToolTipWindow();
  ASSERT_TRUE(::IsWindow(tip));
  pm_.SetTooltip(L"second", CRect(1, 2, 3, 4));
  EXPECT_EQ(pm_.GetToolTipWindow(), tip);

  const DWORD style = ::GetWindowLongW(tip, GWL_STYLE);
  EXPECT_EQ(style & 0x80000003u, 0x80000003u);  // pop-up, no prefix, always tip
  EXPECT_TRUE(::GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(::GetWindow(tip, GW_OWNER), hwnd());
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

  auto text_of_tool = [&] {
    wchar_t text[80] = {};
    TOOLINFOW info{44, 0, hwnd(), 1313, {}, nullptr, text, 0, nullptr};
    ::SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    return std::wstring(text);
  };
  EXPECT_EQ(text_of_tool(), L"second");
  pm_.SetTooltipCtrlID(7);
  pm_.ClearTooltip();
  EXPECT_EQ(text_of_tool(), L"");
  EXPECT_EQ(pm_.GetTooltipCtrlID(), 0);
}

}  // namespace
}  // namespace paint_test
