// Each Win32 handle kind is released the way it must be.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/core/win_handles.h"

namespace Zentu {
namespace {

bool IsOpenHandle(HANDLE h) {
  DWORD flags = 0;
  return ::GetHandleInformation(h, &flags) != 0;
}

TEST(WinHandles, KernelAndFileHandlesClose) {
  HANDLE raw_event = nullptr;
  {
    UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    raw_event = event.get();
    EXPECT_TRUE(IsOpenHandle(raw_event));
  }
  EXPECT_FALSE(IsOpenHandle(raw_event));

  UniqueFileHandle invalid(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(invalid);
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + L"calorix_handle_test.tmp";
  {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
  }
  // Exclusive sharing above: a second open only succeeds once the first handle is closed.
  UniqueFileHandle again(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(again);
  again.reset();
  ::DeleteFileW(path.c_str());
}

TEST(WinHandles, RegistryKeyCloses) {
  HKEY raw = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &raw), ERROR_SUCCESS);
  { UniqueRegKey key(raw); }
  DWORD subkeys = 0;
  EXPECT_NE(::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

TEST(WinHandles, GdiObjectsDcsAndSelectionsAreReleased) {
  const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 50; ++i) {
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    UniqueGdiObject bitmap(::CreateBitmap(8, 8, 1, 32, nullptr));
    HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_BITMAP);
    {
      UniqueSelection selected = SelectInto(dc.get(), bitmap.get());
      EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), original);  // previous one restored
  }
  UniqueWindowDc screen = GetWindowDc(nullptr);
  EXPECT_TRUE(screen);
  EXPECT_EQ(screen.traits().window, nullptr);
  screen.reset();
  EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), before + 2);
}

TEST(WinHandles, ModuleIsFreed) {
  {
    UniqueModule module(::LoadLibraryW(L"msimg32.dll"));
    ASSERT_TRUE(module);
  }
  EXPECT_EQ(::GetModuleHandleW(L"msimg32.dll"), nullptr);
}

}  // namespace
}  // namespace Zentu
