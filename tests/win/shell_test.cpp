// The tray icon, its menu and the shell set-up, against Wine's shell and a real window.
#include <windows.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/shell/shell_constants.h"
#include "app/shell/startup.h"
#include "app/shell/tray_icon.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

class ShellWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"shell test", WS_POPUP, 0, 0, 340,
                                250, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { ::DestroyWindow(window_); }
  HWND window_ = nullptr;
};

std::wstring IconFixture() { return test::ProgramFolder() + L"render_fixtures\\render_icon.ico"; }

TEST_F(ShellWindow, IconIsShownUntilRemovedWithOrWithoutItsFile) {
  TrayIcon icon;
  EXPECT_EQ(icon.record().cbSize, 956u);
  ASSERT_TRUE(icon.Add(window_, IconFixture()));
  EXPECT_TRUE(icon.IsShown());
  EXPECT_EQ(icon.record().uID, kTrayIconId);
  EXPECT_EQ(icon.record().uFlags, 7u);
  EXPECT_EQ(icon.record().uCallbackMessage, WM_TRAY_NOTIFY);
  EXPECT_STREQ(icon.record().szTip, L"KEM");
  icon.Remove();
  EXPECT_FALSE(icon.IsShown());
  // The shell no longer knows the icon: modifying it fails.
  NOTIFYICONDATAW probe = icon.record();
  EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe));

  // Without its file the icon has no picture, but the shell holds it until it is removed.
  TrayIcon missing;
  ASSERT_TRUE(missing.Add(window_, L"C:\\no\\such\\Calorix.ico"));
  EXPECT_TRUE(missing.IsShown());
  missing.Remove();
  EXPECT_FALSE(missing.IsShown());
  probe = missing.record();
  EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe));
}

TEST_F(ShellWindow, RightClickMenuListsVersionDeviceCountAndExit) {
  ::ShowWindow(window_, SW_SHOW);
  const auto items = test::TrackedMenuItems(
      [this] { EXPECT_EQ(OnTrayNotify(window_, WM_RBUTTONUP, [] { return 2; }), 0); });
  EXPECT_EQ(items,
            (std::vector<std::wstring>{L"203:Version: 1.0.0.9", L"202:2 Device", L"100:Exit"}));
}

TEST_F(ShellWindow, LeftClickShowsTheHiddenWindowAtHome) {
  ::MoveWindow(window_, 10, 10, 340, 250, FALSE);
  ASSERT_FALSE(::IsWindowVisible(window_));
  EXPECT_EQ(OnTrayNotify(window_, WM_LBUTTONDOWN, nullptr), 0);
  EXPECT_TRUE(::IsWindowVisible(window_));
  RECT work{}, placed{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::GetWindowRect(window_, &placed);
  EXPECT_EQ(placed.left, work.right - 343);
  EXPECT_EQ(placed.bottom, work.bottom - 3);
  // Other mouse messages do nothing.
  ::ShowWindow(window_, SW_HIDE);
  OnTrayNotify(window_, WM_MOUSEMOVE, nullptr);
  EXPECT_FALSE(::IsWindowVisible(window_));
}

TEST_F(ShellWindow, MarkedWindowIsFoundAndHasNoInputContext) {
  EXPECT_NE(FindMainWindow(), window_);
  MarkMainWindow(window_);
  EXPECT_EQ(FindMainWindow(), window_);
  DisableInputMethod(window_);
  EXPECT_EQ(::ImmGetContext(window_), nullptr);
}

TEST(Startup, SecondTakeOfTheMutexIsRefused) {
  EXPECT_TRUE(TakeSingleInstance());
  EXPECT_FALSE(TakeSingleInstance());
}

bool DebugPrivilegeEnabled() {
  HANDLE token = nullptr;
  ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
  alignas(TOKEN_PRIVILEGES) char buffer[4096];
  DWORD size = 0;
  const bool read = ::GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size);
  ::CloseHandle(token);
  LUID debug{};
  ::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &debug);
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
  for (DWORD i = 0; read && i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart)
      return p.Attributes & SE_PRIVILEGE_ENABLED;
  }
  return false;
}

TEST(Startup, DebugPrivilegeIsEnabledOnlyWhileTheLeftoverServerIsEnded) {
  ASSERT_FALSE(DebugPrivilegeEnabled());  // as an administrator's token starts out
  {
    const DebugPrivilege debug = EnableDebugPrivilege();
    EXPECT_TRUE(debug.enabled());
    EXPECT_TRUE(DebugPrivilegeEnabled());
  }
  EXPECT_FALSE(DebugPrivilegeEnabled());
}

}  // namespace
}  // namespace calorix
