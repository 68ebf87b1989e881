// Download, unpacking and launch. End to end through the update harness (a separate program
// wired like the tray program, with its log and its real process exit), and in this process
// where the exit is counted instead of taken.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/system/work_folder.h"
#include "app/update/update_service.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/update_test_support.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

constexpr DWORD kLaunchWaitMs = 20000;
const std::wstring kProgram = L"Software-1.0.1.0.exe";

class UpdateFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenProgramLog();
    ASSERT_FALSE(test::Env(L"CALORIX_TEST_HTTP").empty()) << "run through update_site.py";
    test::RemoveTree(temp_);
  }
  test::ChildProcess Harness(const std::wstring& base, int command, const wchar_t* answer) {
    return test::ChildProcess(L"\"" + test::ProgramFolder() + L"update_flow_harness.exe\" " + base +
                              L" " + std::to_wstring(command) + L" " + answer);
  }
  // LocalAppData\KEM Files\\temp\ (sic: the doubled backslash is the program's).
  const std::wstring temp_ = WorkFolder().wstring() + L"\\\\temp\\";
};

TEST_F(UpdateFlowTest, YesDownloadsUnpacksStartsTheProgramAndEndsTheHarness) {
  const test::LogWatch log;
  test::ChildProcess harness = Harness(test::SiteUrl(L"ok"), 3, L"yes");
  ASSERT_TRUE(harness.started());
  EXPECT_EQ(harness.Wait(60000), 0u) << log.Text();
  EXPECT_TRUE(
      test::WaitFor([&] { return test::FileExists(temp_ + kProgram + L".ran"); }, kLaunchWaitMs));
  EXPECT_EQ(test::ReadFileBytes(temp_ + L"docs\\manual.txt"), "Release notes\r\n");
  EXPECT_FALSE(test::FileExists(temp_ + L"Software-1.0.1.0.zip")) << "deleted once unpacked";
  const std::string text = log.Text();
  EXPECT_NE(text.find("harness: asked \"Software Updates\": \"Detected the latest "
                      "version:v1.0.1.0, update now?\" (style 4), answered 1"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("update: started Software-1.0.1.0.exe"), std::string::npos);
  // The archive URL is the channel URL (ending in a slash) and two more slashes.
  EXPECT_NE(test::ReadFileBytes(test::Env(L"CALORIX_TEST_SITE") + L"\\requests.log")
                .find("GET /ok/q7rb/software///Software-1.0.1.0.zip 200"),
            std::string::npos);
}

TEST_F(UpdateFlowTest, FailedFlowsStartNothingAndLeaveTheHarnessRunningAndLogged) {
  const std::wstring silent = test::Env(L"CALORIX_TEST_SILENT");
  const std::wstring not_unpacked = L"was not unpacked completely";
  struct Case {
    std::wstring base;
    int command;  // 3: CheckSoftware, 5: CheckSoftwareQuiet
    const wchar_t* answer;
    std::wstring logged;
  };
  const std::vector<Case> cases = {
      {test::SiteUrl(L"missing"), 3, L"yes", L"HTTP 404); nothing started"},
      {test::SiteUrl(L"truncated"), 3, L"yes", L"error 38, HTTP 200); nothing started"},
      {test::SiteUrl(L"noprogram"), 3, L"yes", not_unpacked},
      {test::SiteUrl(L"corrupt"), 3, L"yes", not_unpacked},  // the program's data damaged
      {test::SiteUrl(L"sizelie"), 3, L"yes", not_unpacked},  // claims more than it holds
      {test::SiteUrl(L"cut"), 3, L"yes", not_unpacked},      // the archive cut short
      {test::SiteUrl(L"notaprogram"), 3, L"yes", L"update: could not start Software-1.0.1.0.exe"},
      {test::SiteUrl(L"ok"), 3, L"no", L"answered 2"},
      {test::Env(L"CALORIX_TEST_HTTPS") + L"/ok", 5, L"yes", L"error 12045"},
      {L"https" + silent.substr(4) + L"/ok", 5, L"yes", L"error 1460"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::ToNarrow(c.base));
    // A program of that name left by an earlier update must never be taken for the new one.
    test::RemoveTree(temp_);
    ASSERT_TRUE(::CreateDirectoryW(temp_.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((test::ProgramFolder() + L"update_marker.exe").c_str(),
                            (temp_ + kProgram).c_str(), FALSE));
    const test::LogWatch log;
    test::ChildProcess harness = Harness(c.base, c.command, c.answer);
    ASSERT_TRUE(harness.started());
    EXPECT_TRUE(log.WaitFor(test::ToNarrow(c.logged), 30000)) << log.Text();
    EXPECT_EQ(harness.Wait(1000), STILL_ACTIVE);
    EXPECT_FALSE(test::FileExists(temp_ + kProgram + L".ran"));
  }  // each harness is ended here, as a user would end the program
}

// The same service in this process: the firmware tool, a stop during a download, and an
// update without a checked version. The process exit is counted.
TEST(UpdateRunTest, FirmwareToolStartsAndAStopEndsADownload) {
  OpenProgramLog();
  const std::wstring work = test::FreshFolder(L"update-run");
  int exits = 0;
  auto service = [&](std::wstring_view site) {
    UpdateLinks links;
    links.work_folder = work;
    links.exit_process = [&exits] { ++exits; };
    return std::make_unique<UpdateService>(test::SiteUrl(site), std::move(links));
  };
  const StopToken never;
  EXPECT_EQ(service(L"ok")->Update(UpdateChannel::kFirmware, never), UpdateOutcome::kNoVersion);

  hid_double::Reset();
  hid_double::Collection display;
  display.path = "display";
  hid_double::AddCollection(display);
  DeviceManager::Instance().RefreshDevices();
  hid_double::QueueFeatureReply("display", {0x07, 0x01, 0x09});
  const auto firmware = service(L"ok");
  firmware->CheckFirmware(false, never);
  EXPECT_EQ(firmware->Update(UpdateChannel::kFirmware, never), UpdateOutcome::kStarted);
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(test::WaitFor(
      [&] { return test::FileExists(work + L"\\temp\\FirmwareUpdateTool-110.exe.ran"); },
      kLaunchWaitMs));

  const test::LogWatch log;
  const auto slow = service(L"slow");  // an archive that trickles in for minutes
  slow->CheckSoftware(false, never);
  {
    Worker worker;  // declared after the service: its thread ends first
    slow->Connect(worker);
    worker.Append(WorkerCommand::UpdateSoftware);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(test::WaitFor(
        [&] { return test::FileExists(work + L"\\temp\\Software-1.0.1.0.zip"); }, 10000));
    EXPECT_TRUE(worker.Stop()) << "the read loop saw the cleared flag within a second";
  }
  EXPECT_NE(log.Text().find("download of Software-1.0.1.0.zip failed (status -2"),
            std::string::npos);
  EXPECT_EQ(exits, 1);
}

}  // namespace
}  // namespace calorix
