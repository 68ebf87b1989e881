// Manager: defaults, scaling, the window registry and the skin folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tests/win/win_test_support.h"
#include "ui/core/manager.h"
#include "ui/core/mwindow.h"

namespace Zentu {
namespace {

using calorix::test::ChildProcess;
using calorix::test::ProgramFolder;

// Each ctest case runs in a fresh process, so this sees the load-time values.
TEST(ZentuManager, LoadTimeDefaultsAndSetters) {
  EXPECT_EQ(Manager::GetCPUTemp(), 0.0f);
  EXPECT_STREQ(Manager::GetFontName().GetString(), L"Arial");
  EXPECT_EQ(Manager::GetFontWidth(), 14);
  EXPECT_EQ(Manager::GetScaleValue(), 1.0f);
  EXPECT_EQ(Manager::GetSelectColor().GetValue(), Gdiplus::Color(255, 189, 48, 255).GetValue());
  EXPECT_STREQ(Manager::GetTheme().GetString(), L"theme1\\");

  Manager::SetCPUTemp(57.0f);
  EXPECT_EQ(Manager::m_cpu_temp, 57.0f);
  Manager::SetFont(L"Open Sans Semibold", 12);
  EXPECT_STREQ(Manager::m_fontname.GetString(), L"Open Sans Semibold");
  EXPECT_EQ(Manager::m_fontwidth, 12);
}

TEST(ZentuManager, ScaledSizesTruncateTowardZero) {
  Manager::SetScaleValue(1.5f);
  EXPECT_EQ(Manager::GetScaleValue(15), 22);
  EXPECT_EQ(Manager::GetScaleValue(-15), -22);
  Manager::SetScaleValue(0.5f);
  EXPECT_EQ(Manager::GetScaleValue(1), 0);
  EXPECT_EQ(Manager::GetScaleValue(3), 1);
  Manager::SetScaleValue(0.7f);
  EXPECT_EQ(Manager::GetScaleValue(10), 7);  // 6.99999988 in double precision
  // Out of range products saturate rather than being undefined.
  Manager::SetScaleValue(4.0f);
  EXPECT_EQ(Manager::GetScaleValue(0x7FFFFFFF), 0x7FFFFFFF);
  Manager::SetScaleValue(1.0f);
}

TEST(ZentuManager, WindowRegistryKeepsOneEntryPerWindow) {
  MWindow a, b;
  Manager::AddWnd(&a);
  Manager::AddWnd(&a);
  EXPECT_EQ(Manager::GetWndCount(), 1);
  Manager::DeleteWnd(&b);  // never added: nothing changes
  EXPECT_EQ(Manager::GetWndCount(), 1);
  Manager::AddWnd(&b);
  EXPECT_TRUE(Manager::HasWnd(&a) && Manager::HasWnd(&b));
  Manager::DeleteWnd(&a);
  EXPECT_FALSE(Manager::HasWnd(&a));
  EXPECT_EQ(Manager::GetWndCount(), 1);
  // Start-up empties the registry; GDI+ then works.
  Manager::InitGdiplus();
  EXPECT_EQ(Manager::GetWndCount(), 0);
  EXPECT_NE(Manager::m_gdiplusToken, 0u);
  {
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    EXPECT_EQ(bitmap.GetLastStatus(), Gdiplus::Ok);
  }
  Manager::AddWnd(&a);
  Manager::UnInitGdiplus();
  EXPECT_EQ(Manager::GetWndCount(), 0);
}

std::wstring MakeFolder(const std::wstring& path) {
  ::CreateDirectoryW(path.c_str(), nullptr);
  return path;
}

// The probe runs from one folder while the library is found in another (through PATH).
TEST(ZentuManager, SkinFolderIsTheExecutablesNotTheLibrarys) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring root =
      MakeFolder(std::wstring(temp) + L"zentu_skin_" + std::to_wstring(::GetCurrentProcessId()));
  const std::wstring exe_dir = MakeFolder(root + L"\\app dir") + L"\\";
  const std::wstring lib_dir = MakeFolder(root + L"\\lib") + L"\\";
  const std::wstring probe = exe_dir + L"probe.exe";
  const std::wstring out = root + L"\\out.txt";
  ASSERT_TRUE(
      ::CopyFileW((ProgramFolder() + L"zentu_skin_probe.exe").c_str(), probe.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"Zentu.dll").c_str(),
                          (lib_dir + L"Zentu.dll").c_str(), FALSE));

  // The loader looks in the current folder before PATH: start the child from the root,
  // where there is no library.
  static wchar_t old_path[32768], old_dir[MAX_PATH];
  ::GetEnvironmentVariableW(L"PATH", old_path, 32768);
  ::GetCurrentDirectoryW(MAX_PATH, old_dir);
  ::SetEnvironmentVariableW(L"PATH", (lib_dir + L";" + old_path).c_str());
  ::SetCurrentDirectoryW(root.c_str());
  DWORD code;
  {
    ChildProcess child(L"\"" + probe + L"\" \"" + out + L"\"");
    code = child.Wait(30000);
  }
  ::SetEnvironmentVariableW(L"PATH", old_path);
  ::SetCurrentDirectoryW(old_dir);
  ASSERT_EQ(code, 0u);

  std::wstring skin, image, library;
  if (FILE* file = _wfopen(out.c_str(), L"rb")) {
    std::wstring all(4096, L'\0');
    all.resize(fread(all.data(), sizeof(wchar_t), all.size(), file));
    fclose(file);
    std::wistringstream lines(all);
    std::getline(lines, skin);
    std::getline(lines, image);
    std::getline(lines, library);
  }
  EXPECT_EQ(skin, exe_dir + L"skins\\theme1\\");
  EXPECT_EQ(image, exe_dir + L"skins\\theme1\\bg\\main.png");
  EXPECT_EQ(_wcsicmp(library.c_str(), (lib_dir + L"Zentu.dll").c_str()), 0);

  ::DeleteFileW(probe.c_str());
  ::DeleteFileW((lib_dir + L"Zentu.dll").c_str());
  ::DeleteFileW(out.c_str());
  ::RemoveDirectoryW(exe_dir.c_str());
  ::RemoveDirectoryW(lib_dir.c_str());
  ::RemoveDirectoryW(root.c_str());
}

}  // namespace
}  // namespace Zentu
