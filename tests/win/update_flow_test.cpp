// Download, check and launch. End to end through the update harness (a separate program
// wired like the tray program, with its log and its real process end), and in this process
// where the end is counted instead of taken.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/worker.h"
#include "app/system/work_folder.h"
#include "app/update/update_folder.h"
#include "app/update/update_service.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/update_test_support.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

constexpr DWORD kLaunchWaitMs = 20000;
const std::wstring kProgram = L"Software-1.0.1.0.exe";

// The program a log says the update started.
std::wstring StartedProgram(const std::string& log) {
  const std::string tag = "update: started ";
  const std::size_t at = log.find(tag);
  if (at == std::string::npos) return {};
  const std::size_t end = log.find(" (", at);
  return std::wstring(log.begin() + static_cast<std::ptrdiff_t>(at + tag.size()),
                      log.begin() + static_cast<std::ptrdiff_t>(end));
}

class UpdateFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenProgramLog();
    ASSERT_FALSE(test::Env(L"CALORIX_TEST_HTTP").empty()) << "run through update_site.py";
    test::RemoveTree(root_);
  }
  test::ChildProcess Harness(const std::wstring& base, int command, const wchar_t* answer) {
    return test::ChildProcess(L"\"" + test::ProgramFolder() + L"update_flow_harness.exe\" " + base +
                              L" " + std::to_wstring(command) + L" " + answer);
  }
  const std::wstring root_ = UpdateFolderRoot();
};

TEST_F(UpdateFlowTest, YesDownloadsChecksStartsTheProgramAndEndsTheHarness) {
  const test::LogWatch log;
  test::ChildProcess harness = Harness(test::SiteUrl(L"moved"), 3, L"yes");
  ASSERT_TRUE(harness.started());
  EXPECT_EQ(harness.Wait(60000), 0u) << log.Text();
  const std::wstring program = StartedProgram(log.Text());
  ASSERT_EQ(program.rfind(root_, 0), 0u) << log.Text();
  EXPECT_EQ(program.substr(program.size() - kProgram.size()), kProgram);
  EXPECT_TRUE(test::WaitFor([&] { return test::FileExists(program + L".ran"); }, kLaunchWaitMs));
  const std::wstring folder = program.substr(0, program.size() - kProgram.size());
  EXPECT_EQ(test::ReadFileBytes(folder + L"docs\\manual.txt"), "Release notes\r\n");
  EXPECT_FALSE(test::FileExists(folder + L"Software-1.0.1.0.zip")) << "deleted once it ran";
  const std::string text = log.Text();
  EXPECT_NE(text.find("harness: asked \"Software Updates\": \"Detected the latest "
                      "version:v1.0.1.0, update now?\" (style 4), answered 1"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("(signed with the update key)"), std::string::npos);
  // Moved on the same server: followed. The archive URL is the channel URL and two slashes.
  const std::string requests =
      test::ReadFileBytes(test::Env(L"CALORIX_TEST_SITE") + L"\\requests.log");
  EXPECT_NE(requests.find("GET /moved/q7rb/software///Software-1.0.1.0.zip 302"),
            std::string::npos);
  EXPECT_NE(requests.find("GET /ok/q7rb/software///Software-1.0.1.0.zip 200"), std::string::npos);
}

TEST_F(UpdateFlowTest, RefusedAndFailedUpdatesStartNothingLeaveNoFolderAndSayWhy) {
  const std::wstring silent = test::Env(L"CALORIX_TEST_SILENT");
  const std::string not_unpacked = "was not unpacked completely";
  const std::string bad_signature =
      "not started: its signature does not verify with the update key";
  struct Case {
    std::wstring base;
    int command;  // 3: CheckSoftware, 5: CheckSoftwareQuiet
    const wchar_t* answer;
    std::string logged;
  };
  const std::vector<Case> cases = {
      {test::SiteUrl(L"missing"), 3, L"yes", "HTTP 404); nothing started"},
      {test::SiteUrl(L"truncated"), 3, L"yes", "error 38, HTTP 200); nothing started"},
      {test::SiteUrl(L"noprogram"), 3, L"yes", not_unpacked},
      {test::SiteUrl(L"corrupt"), 3, L"yes", not_unpacked},  // the program's data damaged
      {test::SiteUrl(L"sizelie"), 3, L"yes", not_unpacked},  // claims more than it holds
      {test::SiteUrl(L"cut"), 3, L"yes", "Software-1.0.1.0.zip is not an archive"},  // cut short
      {test::SiteUrl(L"notaprogram"), 3, L"yes",
       "update: could not start " + test::ToNarrow(kProgram)},
      {test::SiteUrl(L"unsigned"), 3, L"yes", "is unsigned (no Software-1.0.1.0.exe.sig in"},
      {test::SiteUrl(L"badsig"), 3, L"yes", bad_signature},  // the key's, over other bytes
      {test::SiteUrl(L"otherkey"), 3, L"yes", bad_signature},
      {test::SiteUrl(L"bomb"), 3, L"yes", "goes over a cap (an entry of more than 256 MiB)"},
      {test::SiteUrl(L"redirect"), 3, L"yes", "HTTP 302: a redirect to another server or scheme)"},
      {L"http://update.calorix.invalid/ok", 3, L"yes", "plain http only to a loopback address"},
      {test::SiteUrl(L"old"), 3, L"yes", "software 1.0, running 1.0.0.9: not newer; not offered"},
      {test::SiteUrl(L"ok"), 3, L"yes nokey", "no update key to verify it with, so it cannot"},
      {test::SiteUrl(L"ok"), 3, L"no", "answered 2"},
      {test::Env(L"CALORIX_TEST_HTTPS") + L"/ok", 5, L"yes", "error 12045"},
      {L"https" + silent.substr(4) + L"/ok", 5, L"yes", "error 1460"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::ToNarrow(c.base) + " " + c.logged);
    const test::LogWatch log;
    test::ChildProcess harness = Harness(c.base, c.command, c.answer);
    ASSERT_TRUE(harness.started());
    EXPECT_TRUE(log.WaitFor(c.logged, 30000)) << log.Text();
    EXPECT_EQ(harness.Wait(1000), STILL_ACTIVE);
    // A refused update's folder is removed with everything in it.
    EXPECT_TRUE(test::WaitFor([&] { return test::Subfolders(root_).empty(); }, 5000));
    EXPECT_EQ(log.Text().find("update: started"), std::string::npos);
  }  // each harness is ended here, as a user would end the program
}

// Opens `path` with `access` however others share it; the error, or 0 when it opened.
DWORD OpenError(const std::wstring& path, DWORD access) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ::GetLastError();
  ::CloseHandle(file);
  return 0;
}

// The same service in this process: the files held while the firmware tool starts, a stop
// during a download, and an update without a checked version. The end is counted.
TEST(UpdateRunTest, HeldFilesFirmwareToolAndAStopDuringADownload) {
  OpenProgramLog();
  const std::wstring root = UpdateFolderRoot();
  test::RemoveTree(root);
  int started = 0;
  std::vector<DWORD> errors;  // of each opening tried while the program was about to start
  auto service = [&](std::wstring_view site) {
    UpdateLinks links;
    links.started = [&started] { ++started; };
    links.key = test::TestKey;
    links.before_start = [&errors](const std::wstring& program) {
      const std::wstring folder = program.substr(0, program.rfind(L'\\'));
      const std::wstring archive = folder + L"\\FirmwareUpdateTool-110.zip";
      for (const std::wstring& path : {program, archive, folder})
        for (DWORD access : {DWORD{GENERIC_WRITE}, DWORD{DELETE}})
          errors.push_back(OpenError(path, access));
    };
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
  EXPECT_EQ(started, 1);
  // Neither the program, nor the archive, nor their folder could be written, deleted or
  // renamed by anyone while they were checked and started.
  EXPECT_EQ(errors, std::vector<DWORD>(6, ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(test::WaitFor(
      [&] { return test::FilesInSubfolders(root, L"FirmwareUpdateTool-110.exe.ran").size() == 1; },
      kLaunchWaitMs));
  EXPECT_TRUE(test::FilesInSubfolders(root, L"FirmwareUpdateTool-110.zip").empty());

  const test::LogWatch log;
  const auto slow = service(L"slow");  // an archive that trickles in for minutes
  slow->CheckSoftware(false, never);
  {
    Worker worker;  // declared after the service: its thread ends first
    slow->Connect(worker);
    worker.Append(WorkerCommand::UpdateSoftware);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(test::WaitFor(
        [&] { return !test::FilesInSubfolders(root, L"Software-1.0.1.0.zip").empty(); }, 10000));
    EXPECT_TRUE(worker.Stop()) << "the read loop saw the cleared flag within a second";
  }
  EXPECT_NE(log.Text().find("download of Software-1.0.1.0.zip failed (status -2"),
            std::string::npos);
  EXPECT_TRUE(test::FilesInSubfolders(root, L"Software-1.0.1.0.zip").empty());
  EXPECT_EQ(started, 1);
}

}  // namespace
}  // namespace calorix
