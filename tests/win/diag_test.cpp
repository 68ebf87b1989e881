// CalorixDiag's commands against the hidapi double and the stand-in server.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/temperature/temperature_block.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/server_test_support.h"
#include "tests/win/win_test_support.h"
#include "tools/calorix_diag/diag.h"
#include "tools/calorix_diag/diag_report.h"

namespace calorix::diag {
namespace {

using test::Quote;

struct Result {
  int status = -1;
  std::string out, err;
};

Result Diag(const std::vector<std::string>& args) {
  test::CapturedFile out, err;
  Result r;
  r.status = Main(args, {out.file(), err.file()});
  r.out = out.Text();
  r.err = err.Text();
  return r;
}

// Two displays: the first answers the firmware query, the second does not.
void TwoDisplays() {
  DeviceManager::Instance().ResetForTesting();
  hid_double::Reset();
  hid_double::Collection a;
  a.path = "display-a";
  a.release_number = 0x0102;
  hid_double::AddCollection(a);
  hid_double::Collection keyboard = a;  // another collection of the same composite device
  keyboard.path = "display-a-keys";
  keyboard.usage_page = 1;
  keyboard.usage = 6;
  hid_double::AddCollection(keyboard);
  hid_double::Collection b;
  b.path = "display-b";
  b.product_fails = true;
  hid_double::AddCollection(b);
  hid_double::QueueFeatureReply("display-a", {0x07, 0x01, 0x23});
}

class UserSettings {
 public:
  UserSettings() { Clear(); }
  ~UserSettings() { Clear(); }
  static void Clear() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM"); }
  void Set(const wchar_t* name, const wchar_t* text) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr);
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
};

// The tray program's single-instance mutex, as if it ran.
class TrayProgramMutex {
 public:
  TrayProgramMutex() : mutex_(::CreateMutexW(nullptr, FALSE, L"KEM")) {}

 private:
  Zentu::UniqueKernelHandle mutex_;  // owned
};

bool Published() {
  Zentu::UniqueKernelHandle h(::OpenFileMappingA(FILE_MAP_READ, FALSE, kTemperatureBlockName));
  if (!h) return false;
  const auto* block = static_cast<const TemperatureBlock*>(
      ::MapViewOfFile(h.get(), FILE_MAP_READ, 0, 0, kTemperatureBlockSize));
  const bool live = block && block->cpu_liveness > 0;
  if (block) ::UnmapViewOfFile(block);
  return live;
}

TEST(CalorixDiag, StatusAndWatchShowWhatTheProgramSees) {
  TwoDisplays();
  UserSettings settings;
  settings.Set(L"led_switch", L"1");
  settings.Set(L"tempe_type", L"1");
  test::TempFolder folder;
  test::CopyExe(L"monitor_standin.exe", folder.path() + L"Kalvaro.exe");
  auto server =
      std::make_unique<test::ChildProcess>(Quote(folder.path() + L"Kalvaro.exe") +
                                           L" --cpu 45.5 --gpu2 \"Stand-in GPU=48.5\" --period 50");
  ASSERT_TRUE(test::WaitFor(Published, 10000));
  Result r;
  {
    TrayProgramMutex tray;
    r = Diag({});
  }
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Displays: 2\n"
                       "  1. display-a\n"
                       "     product \"Cooler Display\", release 1.02, firmware 123\n"
                       "  2. display-b\n"
                       "     product \"\", release 1.00, firmware no answer\n"
                       "Temperature block \"vorlik_hardware_mapfile\": published, liveness "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  CPU 45.5 C, display 113 (Fahrenheit)\n"
                       "  GPU 1 none\n"
                       "  GPU 2 \"Stand-in GPU\" 48.5 C\n"
                       "Server Kalvaro.exe: running (process "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(")\nTray program: running\n"
                       "Settings HKCU\\SOFTWARE\\KEM: led_switch 1, device_type 0 (CPU), "
                       "tempe_type 1 (Fahrenheit)\n"),
            std::string::npos)
      << r.out;

  // Two lines a little apart, with the liveness counting on between them.
  r = Diag({"--watch", "--count", "2", "--interval", "400"});
  EXPECT_EQ(r.status, 0);
  const std::regex line(
      R"(\d\d:\d\d:\d\d\.\d{3}  CPU 45\.5 C, display 113 \(Fahrenheit\), liveness (\d+), )"
      R"(GPU "Stand-in GPU" 48\.5 C, displays 2\n)");
  std::smatch first, second;
  ASSERT_TRUE(std::regex_search(r.out, first, line)) << r.out;
  const std::string rest = first.suffix();
  ASSERT_TRUE(std::regex_match(rest, second, line)) << r.out;
  EXPECT_GT(std::stoi(second[1]), std::stoi(first[1]));

  // Nothing running, nothing stored, nothing plugged in.
  server.reset();
  ASSERT_TRUE(test::WaitFor([] { return !Published(); }, 10000));
  hid_double::Reset();
  settings.Clear();
  r = Diag({"--status"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find("Server")),
            "Displays: 0\n"
            "Temperature block \"vorlik_hardware_mapfile\": did not exist (no server or tray "
            "program has made it)\n"
            "  CPU no value yet\n"
            "  GPU 1 none\n"
            "  GPU 2 none\n");
  EXPECT_NE(r.out.find("Server Kalvaro.exe: not running\nTray program: not running\n"
                       "Settings HKCU\\SOFTWARE\\KEM: none stored (the program has not run for "
                       "this user)\n"),
            std::string::npos)
      << r.out;
  DeviceManager::Instance().ResetForTesting();
}

std::vector<int> DigitsSentTo(const std::string& path) {
  std::vector<int> values;
  for (const hid_double::FeatureWrite& w : hid_double::FeatureWrites()) {
    if (w.path != path) continue;
    EXPECT_EQ(w.bytes.size(), 65u);
    EXPECT_EQ(std::vector<std::uint8_t>(w.bytes.begin(), w.bytes.begin() + 3),
              (std::vector<std::uint8_t>{0x07, 0xFF, 0xFF}));
    values.push_back(w.bytes[3] * 100 + w.bytes[4] * 10 + w.bytes[5]);
  }
  return values;
}

TEST(CalorixDiag, ShowAndSweepSendTheirDigitsToEveryDisplay) {
  TwoDisplays();
  {
    TrayProgramMutex tray;
    const Result r = Diag({"--show", "123"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Note: the tray program runs and sends its own value every second.\n"
              "Sent 123 to 2 display(s).\n");
  }
  EXPECT_EQ(DigitsSentTo("display-a"), std::vector<int>{123});
  EXPECT_EQ(DigitsSentTo("display-b"), std::vector<int>{123});
  EXPECT_EQ(DigitsSentTo("display-a-keys"), std::vector<int>{});

  TwoDisplays();
  const Result r = Diag({"--sweep", "--interval", "0"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Counting 000 to 199 on 2 display(s), 0 ms a step.\nDone.\n");
  std::vector<int> all(200);
  for (int i = 0; i < 200; ++i) all[i] = i;
  EXPECT_EQ(DigitsSentTo("display-a"), all);
  EXPECT_EQ(DigitsSentTo("display-b"), all);

  // No display: nothing to send to is the command's failure.
  DeviceManager::Instance().ResetForTesting();
  hid_double::Reset();
  for (const auto& args : {std::vector<std::string>{"--show", "7"}, {"--sweep"}}) {
    const Result none = Diag(args);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "No display found: nothing sent.\n");
    EXPECT_EQ(none.out, "");
  }
  EXPECT_TRUE(hid_double::FeatureWrites().empty());
  DeviceManager::Instance().ResetForTesting();
}

TEST(CalorixDiag, EndProcessesEndsEveryCopyAndWaitsForIt) {
  test::TempFolder folder;
  const std::wstring name = test::UniqueName(L"calorix_end") + L".exe";
  test::CopyExe(L"monitor_standin.exe", folder.path() + name);
  test::ChildProcess first(Quote(folder.path() + name) + L" --exit-after 60");
  test::ChildProcess second(Quote(folder.path() + name) + L" --exit-after 60");
  ASSERT_TRUE(first.started() && second.started());
  test::CapturedFile out, err;
  EXPECT_EQ(EndProcesses(name.c_str(), {out.file(), err.file()}), 0);
  EXPECT_EQ(out.Text(), "Ended 2 running " + Utf8(name) + ".\n");
  EXPECT_EQ(first.Wait(0), 0u);  // already gone when the command returned
  EXPECT_EQ(second.Wait(0), 0u);
}

TEST(CalorixDiag, TheProgramsExitStatusAndMessages) {
  const std::wstring diag = Quote(test::ProgramFolder() + L"CalorixDiag.exe");
  test::Finished run = test::RunCaptured(diag + L" --show 250", 60000);
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "CalorixDiag: --show needs a value from 0 to 199, not \"250\"\r\n"
            "Try \"CalorixDiag --help\".\r\n");
  run = test::RunCaptured(diag + L" --watch --frobnicate", 60000);
  EXPECT_EQ(run.exit_code, 2u);
  EXPECT_EQ(run.err.rfind("CalorixDiag: unknown argument \"--frobnicate\"\r\n", 0), 0u);
  run = test::RunCaptured(diag + L" --version", 60000);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out, "CalorixDiag 1.0.0.9\r\n");
  run = test::RunCaptured(diag + L" --help", 60000);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.out.rfind("Usage: CalorixDiag [command]\r\n", 0), 0u);
}

}  // namespace
}  // namespace calorix::diag
