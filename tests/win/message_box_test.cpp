// The tray program's message box under Wine: its controls for each button style, and the
// answers its buttons give when clicked with real mouse messages inside its modal loop.
#include "app/shell/message_box.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/controls/mbutton.h"

namespace calorix {
namespace {

using Zentu::CRect;

std::wstring TitleOf(Zentu::MControl* control) {
  return control ? static_cast<Zentu::MControlFont*>(control)->GetTitle().GetString() : L"-";
}

TEST(UIMessageBox, EachStyleHasItsButtonsUnderTheTitleAndTheMessage) {
  struct Case {
    int style;
    CRect ok;  // empty: no button 33
    const wchar_t* ok_caption;
    bool no;  // NO at (210, 160, 310, 190)
  };
  for (const Case& c :
       {Case{kBoxOk, CRect(60, 160, 320, 190), L"OK", false},
        Case{kBoxYesNo, CRect(70, 160, 170, 190), L"YES", true}, Case{1, CRect(), L"-", false}}) {
    SCOPED_TRACE(c.style);
    CUIMessageBox box;
    box.SetTitle(L"Title");
    box.SetMessageText(L"Message");
    box.SetButtonStyle(c.style);
    ASSERT_NE(box.Create(nullptr, L"MessageBox", WS_POPUP, WS_EX_TOOLWINDOW, CRect(0, 0, 380, 200)),
              nullptr);
    EXPECT_TRUE(box.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_EQ(box.GetControl(kMessageTitleId)->GetRect(), CRect(20, 15, 360, 40));
    EXPECT_EQ(TitleOf(box.GetControl(kMessageTitleId)), L"Title");
    EXPECT_EQ(box.GetControl(kMessageTextId)->GetRect(), CRect(20, 70, 360, 130));
    EXPECT_EQ(TitleOf(box.GetControl(kMessageOkId)), c.ok_caption);
    if (!c.ok.IsRectEmpty()) {
      EXPECT_EQ(box.GetControl(kMessageOkId)->GetRect(), c.ok);
    }
    EXPECT_EQ(TitleOf(box.GetControl(kMessageNoId)), c.no ? L"NO" : L"-");
    if (c.no) {
      EXPECT_EQ(box.GetControl(kMessageNoId)->GetRect(), CRect(210, 160, 310, 190));
    }
    box.DestroyWindow();
  }
}

// What the timer does to the open box, from inside its modal loop.
enum class Act { kClick, kClose, kQuit };
Act g_act = Act::kClick;
POINT g_click{};  // where kClick clicks
int g_ticks = 0;

// A box the action did not close is closed a while later, so that a failure is a wrong
// answer and not a test that never ends.
void CALLBACK CloseTheBox(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND box = ::FindWindowW(L"MWindow", L"MessageBox")) ::SendMessageW(box, WM_CLOSE, 0, 0);
}

void CALLBACK ActOnTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = ::FindWindowW(L"MWindow", L"MessageBox");
  if (!box) return;
  ++g_ticks;
  ::KillTimer(nullptr, timer);
  if (g_act == Act::kClose) ::SendMessageW(box, WM_CLOSE, 0, 0);
  if (g_act == Act::kQuit) ::PostQuitMessage(7);
  if (g_act != Act::kClick) return;
  const LPARAM at = MAKELPARAM(g_click.x, g_click.y);
  ::PostMessageW(box, WM_MOUSEMOVE, 0, at);
  ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(box, WM_LBUTTONUP, 0, at);
}

// A quit message also ends the box's loop; the box must not stay on screen without its
// object, and the quit is handed on to the loop outside.
TEST(UIMessageBox, ButtonsAnswerOneAndTwoAndAnyOtherCloseZero) {
  struct Case {
    int style;
    Act act;
    POINT click;
    unsigned answer;
  };
  for (const Case& c :
       {Case{kBoxOk, Act::kClick, {190, 175}, kBoxYes},
        Case{kBoxYesNo, Act::kClick, {120, 175}, kBoxYes},
        Case{kBoxYesNo, Act::kClick, {260, 175}, kBoxNo}, Case{1, Act::kClose, {}, kBoxClosed},
        Case{kBoxYesNo, Act::kClose, {}, kBoxClosed}, Case{kBoxOk, Act::kQuit, {}, kBoxClosed}}) {
    SCOPED_TRACE(c.style);
    g_act = c.act;
    g_click = c.click;
    g_ticks = 0;
    ::SetTimer(nullptr, 0, 200, ActOnTheBox);
    const UINT_PTR rescue = ::SetTimer(nullptr, 0, 5000, CloseTheBox);
    EXPECT_EQ(ShowMessageBox(L"A message long enough to wrap onto a second line in the box",
                             L"Title", c.style),
              c.answer);
    ::KillTimer(nullptr, rescue);
    EXPECT_EQ(g_ticks, 1);
    EXPECT_EQ(::FindWindowW(L"MWindow", L"MessageBox"), nullptr) << "the box is gone";
    MSG quit{};
    EXPECT_EQ(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7,
              c.act == Act::kQuit);
  }
}

}  // namespace
}  // namespace calorix
