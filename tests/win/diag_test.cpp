// CalorixDiag's commands against the hidapi double and the stand-in server.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/folder_trust.h"
#include "app/system/settings.h"
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
  const int status = Main(args, {out.file(), err.file()});
  return {status, out.Text(), err.Text()};
}

// Two displays, one of them a composite device; only the first answers the firmware query.
void TwoDisplays() {
  DeviceManager::Instance().ResetForTesting();
  hid_double::Reset();
  hid_double::AddCollection({.path = "display-a", .release_number = 0x0102});
  hid_double::AddCollection({.path = "display-a-keys", .usage_page = 1, .usage = 6});
  hid_double::AddCollection({.path = "display-b", .product_fails = true});
  hid_double::QueueFeatureReply("display-a", {0x07, 0x01, 0x23});
}

void ClearSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM"); }

bool Published() {
  BlockView view;
  return !view.created_new() && view.block() && view.block()->cpu_liveness > 0;
}

TEST(CalorixDiag, StatusAndWatchShowWhatTheProgramSees) {
  TwoDisplays();
  ClearSettings();
  ReadSetting(kLedSwitch);  // creates the key, as the program's first start does
  WriteSetting(kLedSwitch, L"1");
  WriteSetting(kTempeType, L"1");
  test::TempFolder folder;
  test::CopyExe(L"monitor_standin.exe", folder.path() + L"Kalvaro.exe");
  auto server = std::make_unique<test::ChildProcess>(
      Quote(folder.path() + L"Kalvaro.exe") + L" --cpu 45.5 --gpu2 \"Adapter=48.5\" --period 50");
  ASSERT_TRUE(test::WaitFor(Published, 10000));
  Result r;
  {
    Zentu::UniqueKernelHandle tray_mutex(::CreateMutexW(nullptr, FALSE, kAppName));
    r = Diag({});
  }
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::regex status(
      "Displays: 2\n"
      "  1\\. display-a\n     product \"Cooler Display\", release 1\\.02, firmware 123\n"
      "  2\\. display-b\n     product \"\", release 1\\.00, firmware no answer\n"
      "Temperature block \"vorlik_hardware_mapfile\": published, liveness \\d+\n"
      "  CPU 45\\.5 C, display 113 \\(Fahrenheit\\)\n  GPU 1 none\n  GPU 2 \"Adapter\" 48\\.5 C\n"
      "Server Kalvaro\\.exe: running \\(process \\d+\\)\nTray program: running\n"
      // Wine gives every folder's owner as the user's SID.
      "Logon task: not registered, Z:\\\\ can be changed by S-1-5-21-[-0-9]+\n"
      "Settings HKCU\\\\SOFTWARE\\\\KEM: led_switch 1, device_type 0 \\(CPU\\), "
      "tempe_type 1 \\(Fahrenheit\\)\n");
  EXPECT_TRUE(std::regex_match(r.out, status)) << r.out;

  // Two lines a little apart, the liveness counting on between them.
  r = Diag({"--watch", "--count", "2", "--interval", "400"});
  EXPECT_EQ(r.status, 0);
  const std::regex line(
      R"(\d\d:\d\d:\d\d\.\d{3}  CPU 45\.5 C, display 113 \(Fahrenheit\), liveness (\d+), )"
      R"(GPU "Adapter" 48\.5 C, displays 2\n)");
  std::smatch first, second;
  ASSERT_TRUE(std::regex_search(r.out, first, line)) << r.out;
  const std::string rest = first.suffix();
  ASSERT_TRUE(std::regex_match(rest, second, line)) << r.out;
  EXPECT_GT(std::stoi(second[1]), std::stoi(first[1]));

  // Nothing running, stored or plugged in; the block the tool made is gone with it.
  server.reset();
  ASSERT_TRUE(test::WaitFor([] { return BlockView().created_new(); }, 10000));
  hid_double::Reset();
  ClearSettings();
  r = Diag({"--status"});
  EXPECT_EQ(r.out,
            "Displays: 0\n"
            "Temperature block \"vorlik_hardware_mapfile\": did not exist (no server or tray "
            "program has made it)\n"
            "  CPU no value yet\n  GPU 1 none\n  GPU 2 none\n"
            "Server Kalvaro.exe: not running\nTray program: not running\n"
            "Logon task: not registered, " +
                WhoElseCanChange(test::ProgramFolder()) +
                "\nSettings HKCU\\SOFTWARE\\KEM: none stored (the program has not run for this "
                "user)\n");
  EXPECT_TRUE(BlockView().created_new());  // the block the tool made went with it
  DeviceManager::Instance().ResetForTesting();
}

std::vector<int> ValuesSentTo(const std::string& path) {
  std::vector<int> values;
  for (const hid_double::FeatureWrite& w : hid_double::FeatureWrites()) {
    if (w.path != path) continue;
    EXPECT_EQ(w.bytes.size(), 65u);
    EXPECT_TRUE(w.bytes[0] == 0x07 && w.bytes[1] == 0xFF && w.bytes[2] == 0xFF);
    values.push_back(w.bytes[3] * 100 + w.bytes[4] * 10 + w.bytes[5]);
  }
  return values;
}

TEST(CalorixDiag, ShowAndSweepSendTheirDigitsToEveryDisplay) {
  TwoDisplays();
  Result r;
  {
    Zentu::UniqueKernelHandle tray_mutex(::CreateMutexW(nullptr, FALSE, kAppName));
    r = Diag({"--show", "123"});
  }
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Note: the tray program runs and sends its own value every second.\n"
            "Sent 123 to 2 display(s).\n");
  EXPECT_EQ(ValuesSentTo("display-a"), std::vector<int>{123});
  EXPECT_EQ(ValuesSentTo("display-b"), std::vector<int>{123});
  EXPECT_EQ(ValuesSentTo("display-a-keys"), std::vector<int>{});

  TwoDisplays();
  r = Diag({"--sweep", "--interval", "0"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Counting 000 to 199 on 2 display(s), 0 ms a step.\nDone.\n");
  std::vector<int> all(200);
  for (int i = 0; i < 200; ++i) all[i] = i;
  EXPECT_EQ(ValuesSentTo("display-a"), all);
  EXPECT_EQ(ValuesSentTo("display-b"), all);

  hid_double::Reset();  // no display: nothing to send to is the command's failure
  for (const auto& args : {std::vector<std::string>{"--show", "7"}, {"--sweep"}}) {
    r = Diag(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No display found: nothing sent.\n");
  }
  EXPECT_TRUE(hid_double::FeatureWrites().empty());
  DeviceManager::Instance().ResetForTesting();
}

TEST(CalorixDiag, SensorsListsEveryMonitorFoundAndTheOneInUse) {
  ClearSettings();
  ReadSetting(kLedSwitch);
  WriteSetting(L"sensor_lhm_port", L"1");  // nobody listens there
  test::Publisher hwinfo(L"hwinfo --cpu \"CPU Package=65.7\" --core 60 --gpu \"Test GPU=52.5\"");
  test::Publisher aida64(L"aida64 --cpu TCPUPKG=48");
  ASSERT_TRUE(hwinfo.ready() && aida64.ready());
  auto server = std::make_unique<test::ChildProcess>(Quote(test::ProgramFolder() + L"Kalvaro.exe"));
  ASSERT_TRUE(test::WaitFor(Published, 10000));
  Result r = Diag({"--sensors"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "HWiNFO, in use\n"
            "  CPU [#0]: Test CPU: DTS | CPU Package | 65.7 C | CPU, in use\n"
            "  CPU [#0]: Test CPU: DTS | Core #0 | 60.0 C\n"
            "  GPU [#0]: Test GPU: Board | GPU Hot Spot Temperature | 62.5 C\n"
            "  GPU [#0]: Test GPU: Board | GPU Temperature | 52.5 C | GPU 1\n"
            "  S.M.A.R.T.: Test Disk | Drive Temperature | 38.0 C\n"
            "AIDA64\n"
            "  TCPUPKG | CPU Package | 48.0 C | CPU\n"
            "  TMOBO | Motherboard | 36.0 C\n"
            "Not found: LibreHardwareMonitor, Core Temp, Argus Monitor, HWiNFO Gadget, ACPI "
            "thermal zone\n"
            "In use by the server: HWiNFO, \"CPU Package\"\n");
  r = Diag({});
  EXPECT_NE(r.out.find("  GPU 1 \"Test GPU\" 52.5 C\n  GPU 2 none\n"
                       "Temperature source: HWiNFO, \"CPU Package\"\n"),
            std::string::npos)
      << r.out;

  server.reset();
  hwinfo.Stop();
  aida64.Stop();
  r = Diag({"--sensors"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("No hardware monitor found.", 0), 0u) << r.err;
  ClearSettings();
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
  EXPECT_EQ(run.out, "CalorixDiag 1.0.0.9\r\n");
  EXPECT_EQ(run.exit_code, 0u);
}

}  // namespace
}  // namespace calorix::diag
