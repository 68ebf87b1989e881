// Download, unpacking and launch: in this process against the test server (only a whole
// update starts, and the program ends only then), and end to end through the update
// harness, a separate program wired like the tray program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
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
const std::wstring kSoftwareProgram = L"Software-1.0.1.0.exe";

class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenProgramLog();
    ASSERT_FALSE(test::Env(L"CALORIX_TEST_HTTP").empty()) << "run through update_site.py";
    work_ = test::FreshFolder(L"update-run");
  }
  // A service whose process exit is counted instead of taken.
  UpdateService MakeService(std::wstring_view site) {
    UpdateLinks links;
    links.work_folder = work_;
    links.exit_process = [this] { ++exits_; };
    return UpdateService(test::SiteUrl(site), std::move(links));
  }
  std::wstring Temp() const { return work_ + L"\\temp\\"; }

  std::wstring work_;
  int exits_ = 0;
  StopToken stop_;
};

TEST_F(UpdateRunTest, AcceptedUpdatesStartTheArchivesProgramThenEnd) {
  UpdateService software = MakeService(L"ok");
  software.CheckSoftware(false, stop_);
  ASSERT_EQ(software.LatestVersion(UpdateChannel::kSoftware), L"1.0.1.0");
  EXPECT_EQ(software.Update(UpdateChannel::kSoftware, stop_), UpdateOutcome::kStarted);
  EXPECT_EQ(exits_, 1);
  const std::wstring program = Temp() + kSoftwareProgram;
  ASSERT_TRUE(test::WaitFor([&] { return test::FileExists(program + L".ran"); }, kLaunchWaitMs));
  EXPECT_FALSE(test::FileExists(Temp() + L"Software-1.0.1.0.zip")) << "deleted once unpacked";
  EXPECT_EQ(test::ReadFileBytes(Temp() + L"docs\\manual.txt"), "Release notes\r\n");
  // The archive URL keeps the channel's slash and adds two.
  EXPECT_NE(test::ReadFileBytes(test::Env(L"CALORIX_TEST_SITE") + L"\\requests.log")
                .find("GET /ok/q7rb/software///Software-1.0.1.0.zip 200"),
            std::string::npos);

  // The firmware tool comes the same way, for a device at 0x0109 and a server offering 110.
  hid_double::Reset();
  hid_double::Collection display;
  display.path = "display";
  hid_double::AddCollection(display);
  DeviceManager::Instance().RefreshDevices();
  hid_double::QueueFeatureReply("display", {0x07, 0x01, 0x09});
  UpdateService firmware = MakeService(L"ok");
  firmware.CheckFirmware(false, stop_);
  EXPECT_EQ(firmware.Update(UpdateChannel::kFirmware, stop_), UpdateOutcome::kStarted);
  EXPECT_EQ(exits_, 2);
  EXPECT_TRUE(test::WaitFor(
      [&] { return test::FileExists(Temp() + L"FirmwareUpdateTool-110.exe.ran"); }, kLaunchWaitMs));
}

TEST_F(UpdateRunTest, OnlyAWholeUpdateStartsAndNothingElseEndsTheProgram) {
  struct Case {
    const wchar_t* site;
    UpdateOutcome outcome;
  };
  const std::vector<Case> cases = {
      {L"missing", UpdateOutcome::kDownloadFailed},    // 404
      {L"truncated", UpdateOutcome::kDownloadFailed},  // half the announced bytes
      {L"noprogram", UpdateOutcome::kNotUnpacked},
      {L"corrupt", UpdateOutcome::kNotUnpacked},  // the program's data is damaged
      {L"sizelie", UpdateOutcome::kNotUnpacked},  // its header claims more than it holds
      {L"cut", UpdateOutcome::kNotUnpacked},      // the archive itself is cut short
  };
  // A program of that name left by an earlier update must never be taken for the new one.
  const std::wstring leftover = Temp() + kSoftwareProgram;
  for (const Case& c : cases) {
    SCOPED_TRACE(test::ToNarrow(c.site));
    test::RemoveTree(Temp());
    ASSERT_TRUE(::CreateDirectoryW(Temp().c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW((test::ProgramFolder() + L"update_marker.exe").c_str(),
                            leftover.c_str(), FALSE));
    UpdateService service = MakeService(c.site);
    service.CheckSoftware(false, stop_);
    EXPECT_EQ(service.Update(UpdateChannel::kSoftware, stop_), c.outcome);
    ::Sleep(200);  // a wrongly started program would leave its marker by now
    EXPECT_FALSE(test::FileExists(leftover + L".ran"));
  }
  // Without a successful check there is nothing to download.
  UpdateService unchecked = MakeService(L"ok");
  EXPECT_EQ(unchecked.Update(UpdateChannel::kFirmware, stop_), UpdateOutcome::kNoVersion);
  EXPECT_EQ(exits_, 0);
}

TEST_F(UpdateRunTest, StoppingTheWorkerEndsADownload) {
  const test::LogWatch log;
  UpdateService service = MakeService(L"slow");
  service.CheckSoftware(false, stop_);
  {
    Worker worker;  // declared after the service: its thread ends first
    service.Connect(worker);
    worker.Append(WorkerCommand::UpdateSoftware);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(
        test::WaitFor([&] { return test::FileExists(Temp() + L"Software-1.0.1.0.zip"); }, 10000));
    EXPECT_TRUE(worker.Stop()) << "the read loop saw the cleared flag within a second";
  }
  EXPECT_NE(log.Text().find("download of Software-1.0.1.0.zip failed (status -2"),
            std::string::npos);
  EXPECT_EQ(exits_, 0);
}

// The harness (update_flow_harness.exe) as the program will be run: the real window,
// worker and service, the program log and the real process exit.
class UpdateFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenProgramLog();
    temp_ = (WorkFolder() / L"").wstring() + L"\\temp\\";
    test::RemoveTree(temp_);
  }
  test::ChildProcess Harness(const std::wstring& base, int command, const wchar_t* answer) {
    return test::ChildProcess(L"\"" + test::ProgramFolder() + L"update_flow_harness.exe\" " + base +
                              L" " + std::to_wstring(command) + L" " + answer);
  }
  std::wstring temp_;  // LocalAppData\KEM Files\\temp\ .
};

TEST_F(UpdateFlowTest, YesDownloadsUnpacksStartsTheProgramAndEndsTheHarness) {
  const test::LogWatch log;
  test::ChildProcess harness = Harness(test::SiteUrl(L"ok"), 3, L"yes");
  ASSERT_TRUE(harness.started());
  EXPECT_EQ(harness.Wait(60000), 0u) << log.Text();
  EXPECT_TRUE(test::WaitFor([&] { return test::FileExists(temp_ + kSoftwareProgram + L".ran"); },
                            kLaunchWaitMs));
  EXPECT_TRUE(test::FileExists(temp_ + L"readme.txt"));
  const std::string text = log.Text();
  EXPECT_NE(text.find("harness: asked \"Software Updates\": \"Detected the latest "
                      "version:v1.0.1.0, update now?\" (style 4), answered 1"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("update: started Software-1.0.1.0.exe"), std::string::npos);
}

TEST_F(UpdateFlowTest, FailedFlowsLeaveTheHarnessRunningAndLogged) {
  const std::wstring silent = test::Env(L"CALORIX_TEST_SILENT");
  struct Case {
    std::wstring base;
    int command;
    const wchar_t* answer;
    const char* logged;
  };
  const std::vector<Case> cases = {
      {test::SiteUrl(L"missing"), 3, L"yes", "(status -1, error 0, HTTP 404); nothing started"},
      {test::SiteUrl(L"truncated"), 3, L"yes", "(status -1, error 38, HTTP 200); nothing started"},
      {test::SiteUrl(L"noprogram"), 3, L"yes", "was not unpacked completely"},
      {test::SiteUrl(L"ok"), 3, L"no", "answered 2"},
      {test::Env(L"CALORIX_TEST_HTTPS") + L"/ok", 5, L"yes", "error 12045"},
      {L"https" + silent.substr(4) + L"/ok", 5, L"yes", "error 1460"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::ToNarrow(c.base));
    const test::LogWatch log;
    test::ChildProcess harness = Harness(c.base, c.command, c.answer);
    ASSERT_TRUE(harness.started());
    EXPECT_TRUE(log.WaitFor(c.logged, 30000)) << log.Text();
    EXPECT_EQ(harness.Wait(1000), STILL_ACTIVE);
    EXPECT_FALSE(test::FileExists(temp_ + kSoftwareProgram + L".ran"));
  }  // each harness is ended here, as a user would end the program
}

}  // namespace
}  // namespace calorix
