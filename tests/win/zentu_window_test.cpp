// MWindow: creation and binding, the modal loop, placement and the guarded wrappers.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ui/core/manager.h"
#include "ui/core/mwindow.h"

namespace Zentu {
namespace {

constexpr UINT kCloseWithResult = 0x0442;  // the dialogs' "close with this result" request
constexpr UINT kSendClose = WM_APP + 10;
constexpr UINT kPostQuit = WM_APP + 11;
constexpr UINT kProbeOwner = WM_APP + 12;

// Records what reaches the object and answers the test's private requests.
class TestWindow : public MWindow {
 public:
  std::vector<UINT> seen;
  int init_calls = 0;
  std::vector<HWND> destroyed;
  HWND owner_probe = nullptr;
  int owner_enabled_during_loop = -1;

  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    seen.push_back(msg);
    switch (msg) {
      case kCloseWithResult:
        PostMessageW(WM_CLOSE, wparam);
        return 0;
      case kSendClose:
        SendMessageW(WM_CLOSE, 7);
        return 0;
      case kPostQuit:
        ::PostQuitMessage(static_cast<int>(wparam));
        return 0;
      case kProbeOwner:
        owner_enabled_during_loop = ::IsWindowEnabled(owner_probe) ? 1 : 0;
        return 0;
      default:
        return MWindow::OnWindowMessage(msg, wparam, lparam);
    }
  }
  int OnInitDialog() override { return ++init_calls; }
  void OnDestroyMessage(HWND hwnd) override { destroyed.push_back(hwnd); }
  int Count(UINT msg) const {
    int n = 0;
    for (UINT m : seen) n += m == msg;
    return n;
  }
  // Lets a test plant the handle values the guards are meant for.
  void PlantHandle(HWND hwnd) { m_hWnd = hwnd; }
};

HWND CreatePopup(TestWindow& w, HWND owner = nullptr, CRect rect = CRect(100, 100, 400, 300)) {
  return w.Create(owner, L"test", WS_POPUP | WS_CAPTION, 0, rect);
}

TEST(ZentuWindow, CreateTwiceReturnsTheSameWindow) {
  TestWindow w;
  const HWND first = CreatePopup(w);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(w.GetSafeHwnd(), first);
  EXPECT_EQ(w.init_calls, 1);
  EXPECT_EQ(CreatePopup(w), first);
  EXPECT_EQ(w.init_calls, 1);
  EXPECT_EQ(w.Count(WM_NCCREATE), 1);  // no second native window was made
  EXPECT_EQ(reinterpret_cast<MWindow*>(::GetWindowLongPtrW(first, GWLP_USERDATA)), &w);
  w.DestroyWindow();
}

// Top-level windows get WM_GETMINMAXINFO before WM_NCCREATE; it must not reach the object.
std::vector<UINT> g_delivered;

LRESULT CALLBACK RecordDelivery(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) g_delivered.push_back(reinterpret_cast<CWPSTRUCT*>(l)->message);
  return ::CallNextHookEx(nullptr, code, w, l);
}

TEST(ZentuWindow, MessagesBeforeNcCreateGetDefaultProcessing) {
  std::vector<UINT>& delivered = g_delivered;
  delivered.clear();
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, RecordDelivery, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  TestWindow w;
  const HWND hwnd = w.Create(nullptr, L"frame", WS_OVERLAPPEDWINDOW, 0, CRect(0, 0, 300, 200));
  ::UnhookWindowsHookEx(hook);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_FALSE(delivered.empty());
  EXPECT_EQ(delivered.front(), static_cast<UINT>(WM_GETMINMAXINFO));
  ASSERT_FALSE(w.seen.empty());
  EXPECT_EQ(w.seen.front(), static_cast<UINT>(WM_NCCREATE));
  w.DestroyWindow();
}

TEST(ZentuWindow, ObjectOutlivesItsWindowAndCreatesAnother) {
  TestWindow w;
  const HWND first = CreatePopup(w);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(w.DestroyWindow());
  EXPECT_EQ(w.GetSafeHwnd(), nullptr);
  ASSERT_EQ(w.destroyed.size(), 1u);
  EXPECT_EQ(w.destroyed[0], first);
  EXPECT_EQ(w.Count(WM_NCDESTROY), 0);  // goes to the previous procedure, then OnDestroyMessage
  EXPECT_EQ(w.ShowModal(SW_SHOW), 0xFFFFFFFFu);
  const HWND second = CreatePopup(w);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(::IsWindow(second));
  EXPECT_EQ(w.init_calls, 2);
  w.DestroyWindow();
  EXPECT_EQ(w.destroyed.size(), 2u);
}

TEST(ZentuWindow, DeletingTheObjectUnbindsItsWindow) {
  auto* w = new TestWindow;
  const HWND hwnd = CreatePopup(*w);
  ASSERT_NE(hwnd, nullptr);
  delete w;  // the window stays; its messages must not reach freed memory
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
  EXPECT_EQ(::SendMessageW(hwnd, kPostQuit, 5, 0), 0);
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(::DestroyWindow(hwnd));
}

class ZentuModal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(CreatePopup(owner), nullptr);
    owner.ShowWindow(SW_SHOW);
    ASSERT_NE(CreatePopup(dialog, owner.GetSafeHwnd(), CRect(150, 150, 350, 250)), nullptr);
    dialog.owner_probe = owner.GetSafeHwnd();
  }
  void TearDown() override {
    dialog.DestroyWindow();
    owner.DestroyWindow();
  }
  TestWindow owner, dialog;
};

TEST_F(ZentuModal, PostedCloseEndsTheLoopWithItsResult) {
  dialog.PostMessageW(kProbeOwner);
  dialog.PostMessageW(kCloseWithResult, 6);
  EXPECT_EQ(dialog.ShowModal(SW_SHOW), 6u);
  EXPECT_EQ(dialog.owner_enabled_during_loop, 0);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);  // the default close handling destroyed it
  EXPECT_EQ(dialog.destroyed.size(), 1u);
}

TEST_F(ZentuModal, SentCloseEndsTheLoopWithZero) {
  dialog.PostMessageW(kSendClose);
  EXPECT_EQ(dialog.ShowModal(SW_SHOW), 0u);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(ZentuModal, QuitEndsTheLoopAndIsPostedAgain) {
  dialog.PostMessageW(kPostQuit, 33);
  EXPECT_EQ(dialog.ShowModal(SW_SHOW), 0u);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(::GetFocus(), owner.GetSafeHwnd());
  EXPECT_NE(dialog.GetSafeHwnd(), nullptr);  // the loop itself destroys nothing
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 33u);
}

// The loop waits for handles besides its messages: a signalled one is posted to its window
// once, a withdrawn one never.
TEST_F(ZentuModal, ASignalledHandleIsPostedToItsWindowOnce) {
  const HWND hwnd = dialog.GetSafeHwnd();
  const HANDLE withdrawn = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);  // signalled already
  const HANDLE probe = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE close = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(MWindow::PostWhenSignalled(withdrawn, hwnd, kPostQuit));
  MWindow::StopWaitingFor(withdrawn);
  ASSERT_TRUE(MWindow::PostWhenSignalled(probe, hwnd, kProbeOwner));
  ASSERT_TRUE(MWindow::PostWhenSignalled(close, hwnd, kCloseWithResult));
  std::thread setter([probe, close] {
    ::SetEvent(probe);
    ::Sleep(300);  // the probe's event stays signalled meanwhile
    ::SetEvent(close);
  });
  EXPECT_EQ(dialog.ShowModal(SW_SHOW), 0u);
  setter.join();
  EXPECT_EQ(dialog.Count(kProbeOwner), 1);
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  for (HANDLE h : {withdrawn, probe, close}) ::CloseHandle(h);
}

TEST(ZentuWindow, ModifyStyleToTheSameStyleDoesNothing) {
  TestWindow w;
  ASSERT_NE(CreatePopup(w), nullptr);
  CRect before;
  w.GetWindowRect(&before);
  const DWORD style = w.GetStyle();
  ASSERT_TRUE(style & WS_CAPTION);
  w.seen.clear();
  EXPECT_EQ(w.ModifyStyle(0, WS_CAPTION, SWP_FRAMECHANGED), 0);
  EXPECT_EQ(w.ModifyStyle(WS_DISABLED, 0, SWP_FRAMECHANGED), 0);  // removing an absent bit
  EXPECT_EQ(w.Count(WM_WINDOWPOSCHANGING), 0);
  EXPECT_EQ(w.GetStyle(), style);

  EXPECT_EQ(w.ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED), 1);
  EXPECT_EQ(w.GetStyle() & WS_CAPTION, 0u);
  EXPECT_EQ(w.Count(WM_WINDOWPOSCHANGING), 1);
  CRect after;
  w.GetWindowRect(&after);
  EXPECT_EQ(after, before);  // frame change only: no move, no size

  w.seen.clear();
  EXPECT_EQ(w.ModifyExStyle(0, WS_EX_TOOLWINDOW), 1);  // no flags: stored, nothing sent
  EXPECT_TRUE(w.GetExStyle() & WS_EX_TOOLWINDOW);
  EXPECT_EQ(w.Count(WM_WINDOWPOSCHANGING), 0);
  w.DestroyWindow();
}

TEST(ZentuWindow, WrapperGuardsAndResults) {
  TestWindow w;
  CString text(L"kept");
  EXPECT_EQ(w.GetWindowTextLengthW(), -1);
  EXPECT_EQ(w.GetStyle(), 0u);
  EXPECT_EQ(w.SetCapture(), nullptr);
  EXPECT_EQ(w.SetTimer(1, 10), 0u);
  w.GetWindowTextW(text);
  EXPECT_EQ(text, L"kept");

  const HWND hwnd = w.Create(nullptr, L"Calorix", WS_POPUP, 0, CRect(200, 100, 500, 300));
  ASSERT_NE(hwnd, nullptr);
  w.GetWindowTextW(text);
  EXPECT_EQ(text, L"Calorix");
  CRect r(10, 20, 30, 40);
  EXPECT_TRUE(w.ClientToScreen(&r));  // both corners
  EXPECT_EQ(r, CRect(210, 120, 230, 140));

  // A stale handle fails the liveness guard; all-ones fails the plain handle guard.
  w.DestroyWindow();
  w.PlantHandle(hwnd);
  EXPECT_EQ(w.GetWindowTextLengthW(), -1);
  EXPECT_EQ(w.IsWindowVisible(), 0);
  w.PlantHandle(reinterpret_cast<HWND>(~static_cast<UINT_PTR>(0)));
  EXPECT_EQ(w.GetStyle(), 0u);
  EXPECT_EQ(w.SendMessageW(WM_NULL), 0);
  w.PlantHandle(nullptr);
}

CRect WorkAreaOf(HWND hwnd) {
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

TEST(ZentuWindow, CenterWindowStaysInsideTheWorkArea) {
  TestWindow owner, w, big;
  ASSERT_NE(CreatePopup(owner, nullptr, CRect(0, 0, 100, 100)), nullptr);  // hidden owner
  ASSERT_NE(CreatePopup(w, owner.GetSafeHwnd(), CRect(-900, -700, -600, -500)), nullptr);
  const CRect work = WorkAreaOf(w.GetSafeHwnd());
  w.CenterWindow(nullptr);
  CRect r;
  w.GetWindowRect(&r);
  EXPECT_EQ(r.Width(), 300);
  EXPECT_EQ(r.left, (work.left + work.right) / 2 - 150);  // the invisible owner is ignored
  EXPECT_EQ(r.top, (work.top + work.bottom) / 2 - 100);

  // Centred over a visible owner near the corner, then pulled back inside.
  owner.ShowWindow(SW_SHOWNOACTIVATE);
  owner.MoveWindow(work.right - 50, work.bottom - 50, 100, 100);
  w.CenterWindow(nullptr);
  w.GetWindowRect(&r);
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);

  // Larger than the work area: never left of or above it.
  ASSERT_NE(big.Create(nullptr, L"big", WS_POPUP, 0,
                       CRect(0, 0, work.Width() + 400, work.Height() + 300)),
            nullptr);
  big.CenterWindow(&owner);
  big.GetWindowRect(&r);
  EXPECT_EQ(r.TopLeft(), work.TopLeft());
  big.DestroyWindow();
  w.DestroyWindow();
  owner.DestroyWindow();
}

// A superclass of the system's button: bound through the "Control" property, unhandled
// messages reach the button's own procedure.
class SuperButton : public TestWindow {
 public:
  const wchar_t* GetWindowClassName() const override { return L"ZentuTestButton"; }
  const wchar_t* GetSuperClassName() const override { return L"BUTTON"; }
};

class NoSuchSuper : public TestWindow {
 public:
  const wchar_t* GetWindowClassName() const override { return L"ZentuTestMissing"; }
  const wchar_t* GetSuperClassName() const override { return L"NoSuchClassAnywhere"; }
};

TEST(ZentuWindow, SuperclassBindsThroughTheControlProperty) {
  SuperButton b;
  const HWND hwnd = b.Create(nullptr, L"btn", WS_POPUP | BS_AUTOCHECKBOX, 0, CRect(0, 0, 80, 20));
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(::GetPropW(hwnd, L"Control"), static_cast<HANDLE>(static_cast<MWindow*>(&b)));
  EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
  b.SendMessageW(BM_SETCHECK, BST_CHECKED);
  EXPECT_EQ(b.SendMessageW(BM_GETCHECK), BST_CHECKED);
  EXPECT_EQ(b.Count(BM_SETCHECK), 1);
  b.DestroyWindow();
  EXPECT_EQ(b.destroyed.size(), 1u);
  EXPECT_EQ(b.GetSafeHwnd(), nullptr);

  // Its object gone, the window still has the button's procedure, not the default one.
  auto* gone = new SuperButton;
  const HWND kept =
      gone->Create(nullptr, L"btn", WS_POPUP | BS_AUTOCHECKBOX, 0, CRect(0, 0, 80, 20));
  ASSERT_NE(kept, nullptr);
  gone->SendMessageW(BM_SETCHECK, BST_CHECKED);
  delete gone;
  EXPECT_EQ(::SendMessageW(kept, BM_GETCHECK, 0, 0), BST_CHECKED);
  ::DestroyWindow(kept);

  NoSuchSuper missing;
  EXPECT_EQ(missing.Create(nullptr, L"x", WS_POPUP, 0, CRect(0, 0, 10, 10)), nullptr);
  EXPECT_EQ(missing.init_calls, 0);  // registration failed: nothing was attempted
  // A failed native creation (a child without a parent) still calls OnInitDialog.
  TestWindow orphan;
  EXPECT_EQ(orphan.Create(nullptr, L"orphan", WS_CHILD, 0, CRect(0, 0, 10, 10)), nullptr);
  EXPECT_EQ(orphan.init_calls, 1);
}

}  // namespace
}  // namespace Zentu
