// Manager::MessageLoop's Alt+F4 filter, driven by injected key presses.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "ui/core/manager.h"
#include "ui/core/mwindow.h"

namespace Zentu {
namespace {

// Counts the application messages it is given; swallows the system keys so that the
// injected Alt and F4 cannot close it or open a menu.
class CountingWindow : public MWindow {
 public:
  int first = 0, second = 0;
  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    switch (msg) {
      case WM_APP + 1:
        ++first;
        return 0;
      case WM_APP + 2:
        ++second;
        return 0;
      case WM_SYSKEYDOWN:
      case WM_SYSKEYUP:
      case WM_SYSCOMMAND:
      case WM_SYSCHAR:
        return 0;
      default:
        return MWindow::OnWindowMessage(msg, wparam, lparam);
    }
  }
};

void PressKey(BYTE vk, bool down) { ::keybd_event(vk, 0, down ? 0 : KEYEVENTF_KEYUP, 0); }

// Wine's X11 driver resynchronises the key state with the X server's whenever one of the
// process's windows has the X focus, which undoes injected presses: the window stays hidden.
TEST(ZentuManager, MessageLoopDropsMessagesWhileAltF4IsHeld) {
  CountingWindow window;
  ASSERT_NE(window.Create(nullptr, L"keys", WS_POPUP, 0, CRect(0, 0, 50, 50)), nullptr);

  PressKey(VK_MENU, true);
  PressKey(VK_F4, true);
  ASSERT_NE(::GetAsyncKeyState(VK_MENU), 0) << "key injection is not honoured here";
  ASSERT_NE(::GetAsyncKeyState(VK_F4), 0);
  EXPECT_EQ(Manager::PreTranslateMessage(nullptr), 1);
  window.PostMessageW(WM_APP + 1);

  const DWORD loop_thread = ::GetCurrentThreadId();
  const HWND hwnd = window.GetSafeHwnd();
  std::thread releaser([&] {
    ::Sleep(300);  // the loop has fetched and dropped WM_APP + 1 by now
    PressKey(VK_F4, false);
    PressKey(VK_MENU, false);
    ::PostMessageW(hwnd, WM_APP + 2, 0, 0);
    ::PostThreadMessageW(loop_thread, WM_QUIT, 0, 0);
  });
  Manager::MessageLoop();
  releaser.join();

  EXPECT_EQ(window.first, 0);
  EXPECT_EQ(window.second, 1);
  EXPECT_EQ(Manager::PreTranslateMessage(nullptr), 0);
  window.DestroyWindow();
}

}  // namespace
}  // namespace Zentu
