// Settings in Wine's registry and the log file in the per-user work folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/system/work_folder.h"
#include "server/win/stored_settings.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\KEM";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

  static bool KeyExists() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }
  static void Store(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
  }
  static void StoreText(const wchar_t* name, const std::wstring& text) {
    Store(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
  }
  // The raw stored bytes, to prove that reads change nothing.
  static std::string Raw(const wchar_t* name, DWORD* type) {
    std::string data(4096, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, type, data.data(),
                       &size) != ERROR_SUCCESS)
      return "<missing>";
    data.resize(size);
    return data;
  }
};

TEST_F(SettingsTest, FirstStartCreatesTheKeyAndDefaultsTheLedSwitch) {
  ASSERT_FALSE(KeyExists());
  EXPECT_EQ(ReadSetting(kLedSwitch), 0);
  EXPECT_TRUE(KeyExists());  // the read created it, so the write that follows lands
  WriteSetting(kLedSwitch, L"1");
  EXPECT_EQ(ReadSetting(kLedSwitch), 1);
  EXPECT_EQ(ReadSetting(kDeviceType), 0);
  EXPECT_EQ(ReadSetting(kTempeType), 0);
  DWORD type = 0;
  EXPECT_EQ(Raw(kLedSwitch, &type), std::string("1\0\0\0", 4));  // text with its NUL
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(SettingsTest, WriteNeverCreatesTheKey) {
  WriteSetting(kTempeType, L"1");
  EXPECT_FALSE(KeyExists());
}

TEST_F(SettingsTest, TextsReadAsTheRuntimeConversionReadsThem) {
  const struct {
    const wchar_t* text;
    int expected;
  } cases[] = {{L"0", 0}, {L"abc", 0}, {L"2", 2}, {L"1abc", 1}, {L" 1", 1}, {L"", 0}};
  for (const auto& c : cases) {
    StoreText(kLedSwitch, c.text);
    EXPECT_EQ(ReadSetting(kLedSwitch), c.expected)
        << "text: " << std::string(c.text, c.text + wcslen(c.text));
  }
}

TEST_F(SettingsTest, StrangeValuesReadAsZeroAndStayUntouched) {
  const DWORD dword = 1;
  Store(kTempeType, REG_DWORD, &dword, sizeof dword);
  const std::wstring overlong(300, L'7');
  StoreText(kDeviceType, overlong);
  const char binary[] = {'1', 0};
  Store(kLedSwitch, REG_BINARY, binary, sizeof binary);
  DWORD t1 = 0, t2 = 0, t3 = 0;
  const std::string before1 = Raw(kTempeType, &t1), before2 = Raw(kDeviceType, &t2),
                    before3 = Raw(kLedSwitch, &t3);

  EXPECT_EQ(ReadSetting(kTempeType), 0);
  EXPECT_EQ(ReadSetting(kDeviceType), 0);
  EXPECT_EQ(ReadSetting(kLedSwitch), 0);
  EXPECT_EQ(ReadSetting(L"never_written"), 0);

  DWORD a1 = 0, a2 = 0, a3 = 0;
  EXPECT_EQ(Raw(kTempeType, &a1), before1);
  EXPECT_EQ(Raw(kDeviceType, &a2), before2);
  EXPECT_EQ(Raw(kLedSwitch, &a3), before3);
  EXPECT_EQ(a1, t1);
  EXPECT_EQ(a2, t2);
  EXPECT_EQ(a3, t3);
}

TEST_F(SettingsTest, LongestValueThatFitsStillReads) {
  StoreText(kTempeType, std::wstring(100, L' ') + L"42");  // 103 characters, 206 bytes
  EXPECT_EQ(ReadSetting(kTempeType), 42);
}

TEST_F(SettingsTest, WrittenValuesPersistAcrossProcesses) {
  ReadSetting(kLedSwitch);
  WriteSetting(kTempeType, L"1");
  WriteSetting(kDeviceType, L"0");
  // reg.exe is a separate process reading the same registry.
  const std::wstring out = std::wstring(_wgetenv(L"TEMP")) + L"\\calorix_reg_query.txt";
  ::DeleteFileW(out.c_str());
  test::ChildProcess reg(L"cmd.exe /c reg query HKCU\\SOFTWARE\\KEM /v tempe_type > \"" + out +
                         L"\"");
  ASSERT_TRUE(reg.started());
  reg.Wait(20000);
  std::ifstream in{std::filesystem::path(out)};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("tempe_type"), std::string::npos) << text;
  EXPECT_NE(text.find("REG_SZ"), std::string::npos) << text;
  EXPECT_NE(text.find("    1"), std::string::npos) << text;
}

TEST_F(SettingsTest, ALinkOnTheWayIsNeitherFollowedNorMadeThrough) {
  // HKCU\SOFTWARE\KEM made a registry link to a machine key, as any program of the user can.
  constexpr wchar_t kTarget[] = L"SOFTWARE\\KEMLinkTarget";
  const std::wstring target = std::wstring(L"\\Registry\\Machine\\") + kTarget;
  HKEY link = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                   reinterpret_cast<const BYTE*>(target.c_str()),
                   static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  const auto target_exists = [&] {
    HKEY key = nullptr;
    const bool exists =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTarget, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (exists) ::RegCloseKey(key);
    return exists;
  };
  EXPECT_EQ(ReadSetting(kLedSwitch), 0);
  EXPECT_FALSE(target_exists());  // followed, the read would have made it
  HKEY made = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTarget, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &made, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(made, kTempeType, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
  ::RegSetValueExW(made, kalvaro::kSensorSource, 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(L"aida64"), 14);
  EXPECT_EQ(ReadSetting(kTempeType), 0);
  EXPECT_EQ(kalvaro::ReadStoredSettings().source.kind, kalvaro::StoredValue::Kind::kAbsent);
  WriteSetting(kLedSwitch, L"1");
  DWORD size = 0;
  EXPECT_EQ(::RegQueryValueExW(made, kLedSwitch, nullptr, nullptr, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  ::RegCloseKey(made);
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTarget);
  // The link itself, opened as such: deleting by name would delete its target.
  using DeleteKey = LONG(NTAPI*)(HANDLE);
  const auto delete_key = reinterpret_cast<DeleteKey>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  ::RegCloseKey(link);
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, REG_OPTION_OPEN_LINK, DELETE, &link),
            ERROR_SUCCESS);
  EXPECT_EQ(delete_key(link), 0);
  ::RegCloseKey(link);
}

// The user's shell folders moved elsewhere, restored when this goes away.
class MovedLocalAppData {
 public:
  explicit MovedLocalAppData(const std::wstring& to) {
    ::RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = sizeof saved_;
    had_ = ::RegQueryValueExW(key_, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(saved_),
                              &size) == ERROR_SUCCESS;
    Set(to.c_str());
  }
  ~MovedLocalAppData() {
    if (had_) Set(saved_);
    ::RegCloseKey(key_);
  }

 private:
  static constexpr wchar_t kShellFolders[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  static constexpr wchar_t kValue[] = L"Local AppData";
  void Set(const wchar_t* text) {
    ::RegSetValueExW(key_, kValue, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  }
  HKEY key_ = nullptr;
  wchar_t saved_[MAX_PATH] = {};
  bool had_ = false;
};

TEST(WorkFolder, ProgramLogStaysInTheProfileAndTakesNoOtherName) {
  const std::filesystem::path elsewhere = std::filesystem::temp_directory_path() / "moved_local";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::path folder;
  {
    const MovedLocalAppData moved(elsewhere.wstring());
    folder = WorkFolder();
  }
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.filename().wstring(), L"KEM Files");
  EXPECT_NE(folder.wstring().find(L"AppData\\Local"), std::wstring::npos) << folder.string();
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(OpenProgramLog());  // makes the folder
  LogPrint(Info, "screen_width: %d, screen_height: %d, workArea(%d-%d-%d-%d)", 1280, 1024, 0, 0,
           1280, 984);
  LogClose();
  std::ifstream in(folder / L"calorix.log");
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_NE(line.find("][Info ]screen_width: 1280, screen_height: 1024, workArea(0-0-1280-984)"),
            std::string::npos)
      << line;
  in.close();

  // calorix.log made a second name of a file elsewhere: refused, and that file kept as it was.
  const std::filesystem::path other = elsewhere / "other.txt";
  std::ofstream(other) << "other";
  std::filesystem::remove(folder / L"calorix.log");
  ASSERT_TRUE(::CreateHardLinkW((folder / L"calorix.log").c_str(), other.c_str(), nullptr));
  EXPECT_FALSE(OpenProgramLog());
  LogPrint(Info, "lost");
  EXPECT_EQ(std::filesystem::file_size(other), 5u);
  std::filesystem::remove_all(elsewhere);
  std::filesystem::remove(folder / L"calorix.log");
}

}  // namespace
}  // namespace calorix
