// The tray program's message box under Wine: the answers its buttons give when clicked with
// real mouse messages inside its modal loop, and how it ends otherwise. (Where the buttons
// are drawn is checked on screen by the end-to-end update run.)
#include "app/shell/message_box.h"

#include <gtest/gtest.h>

#include <vector>

namespace calorix {
namespace {

// What the timer does to the open box, from inside its modal loop: the clicks, then (when
// the box is still open) a close message or a quit message.
enum class Then { kNothing, kClose, kQuit };
std::vector<POINT> g_clicks;
Then g_then = Then::kNothing;
int g_acts = 0;

void Click(HWND box, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  ::PostMessageW(box, WM_MOUSEMOVE, 0, where);
  ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, where);
  ::PostMessageW(box, WM_LBUTTONUP, 0, where);
}

void CALLBACK ActOnTheBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = ::FindWindowW(L"MWindow", L"MessageBox");
  if (!box) return;
  if (g_acts++ < static_cast<int>(g_clicks.size())) return Click(box, g_clicks[g_acts - 1]);
  ::KillTimer(nullptr, timer);
  if (g_then == Then::kClose) ::SendMessageW(box, WM_CLOSE, 0, 0);
  if (g_then == Then::kQuit) ::PostQuitMessage(7);
}

// A box left open by mistake is closed a while later: a failure is a wrong answer, not a
// test that never ends.
void CALLBACK Rescue(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND box = ::FindWindowW(L"MWindow", L"MessageBox")) ::SendMessageW(box, WM_CLOSE, 0, 0);
}

// A quit message also ends the box's loop; the box must not stay on screen without its
// object, and the quit is handed on to the loop outside.
TEST(UIMessageBox, ButtonsAnswerOneAndTwoOtherStylesHaveNoneAndOtherEndsGiveZero) {
  const POINT yes{120, 175}, gap{190, 175}, no{260, 175};
  struct Case {
    int style;
    std::vector<POINT> clicks;
    Then then;
    unsigned answer;
  };
  for (const Case& c : {Case{kBoxOk, {gap}, Then::kNothing, kBoxYes},
                        Case{kBoxYesNo, {gap, yes}, Then::kNothing, kBoxYes},
                        Case{kBoxYesNo, {no}, Then::kNothing, kBoxNo},
                        Case{1, {yes, gap, no}, Then::kClose, kBoxClosed},
                        Case{kBoxOk, {}, Then::kQuit, kBoxClosed}}) {
    SCOPED_TRACE(c.style);
    g_clicks = c.clicks;
    g_then = c.then;
    g_acts = 0;
    const UINT_PTR act = ::SetTimer(nullptr, 0, 300, ActOnTheBox);
    const UINT_PTR rescue = ::SetTimer(nullptr, 0, 5000, Rescue);
    EXPECT_EQ(ShowMessageBox(L"A message long enough to wrap onto a second line in the box",
                             L"Title", c.style),
              c.answer);
    ::KillTimer(nullptr, act);
    ::KillTimer(nullptr, rescue);
    EXPECT_EQ(g_acts, static_cast<int>(c.clicks.size()) + (c.then == Then::kNothing ? 0 : 1))
        << "every act was needed, none more";
    EXPECT_EQ(::FindWindowW(L"MWindow", L"MessageBox"), nullptr) << "the box is gone";
    MSG quit{};
    EXPECT_EQ(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7,
              c.then == Then::kQuit);
  }
}

}  // namespace
}  // namespace calorix
