// The version checks against the test server on 127.0.0.1: which bodies count, how versions
// compare, the firmware number, no device, servers that fail, and the prompts after a check.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/system/work_folder.h"
#include "app/update/update_config.h"
#include "app/update/update_service.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/update_test_support.h"

namespace calorix {
namespace {

using test::TakeUpdateResult;
using Result = std::optional<std::pair<WPARAM, LPARAM>>;
constexpr WPARAM kSoftware = 1;
constexpr WPARAM kFirmware = 2;

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenProgramLog();
    ASSERT_FALSE(test::Env(L"CALORIX_TEST_HTTP").empty()) << "run through update_site.py";
    window_ = test::CreateResultWindow();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override { ::DestroyWindow(window_); }

  UpdateLinks Links() {
    UpdateLinks links;
    links.window = window_;
    links.work_folder = test::FreshFolder(L"check");
    return links;
  }
  void SetVersion(const wchar_t* channel, std::string_view body) {
    test::WriteFileBytes(test::SiteFolder(L"v", channel) + L"version", body);
  }
  // Runs one check and returns what it posted.
  Result Check(UpdateService& service, UpdateChannel channel, bool quiet) {
    if (channel == UpdateChannel::kSoftware) {
      service.CheckSoftware(quiet, stop_);
    } else {
      service.CheckFirmware(quiet, stop_);
    }
    Result result = TakeUpdateResult(window_);
    EXPECT_FALSE(TakeUpdateResult(window_)) << "at most one message per check";
    return result;
  }

  HWND window_ = nullptr;
  StopToken stop_;
};

TEST_F(UpdateCheckTest, SoftwareBodiesAgainstTheRunningVersion) {
  UpdateService service(test::SiteUrl(L"v"), Links());
  struct Case {
    std::string body;
    bool newer;
    const wchar_t* stored;  // the latest version afterwards
  };
  const std::vector<Case> cases = {
      {"1.0.0.9", false, L"1.0.0.9"},
      {"1.0.0.10", true, L"1.0.0.10"},
      {"1.0.1", true, L"1.0.1"},
      {"1.0.0.9.1", true, L"1.0.0.9.1"},
      {"1.0.0.8", false, L"1.0.0.8"},
      {"1.0.1.0\r\n", true, L"1.0.1.0"},
      {" 1.0.0.9  ", false, L"1.0.0.9"},
      // ignored: the latest version stays what it was
      {"1.0.0.10.1 ", false, nullptr},
      {"..\\..\\x", false, nullptr},
      {"1.0.1.0a", false, nullptr},
      {"", false, nullptr},
      {"1..0", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    SetVersion(L"software", c.body);
    const std::wstring before = service.LatestVersion(UpdateChannel::kSoftware);
    const Result quiet = Check(service, UpdateChannel::kSoftware, true);
    const Result manual = Check(service, UpdateChannel::kSoftware, false);
    EXPECT_EQ(service.LatestVersion(UpdateChannel::kSoftware), c.stored ? c.stored : before);
    if (!c.stored) {
      EXPECT_FALSE(quiet);
      EXPECT_FALSE(manual);
      continue;
    }
    EXPECT_EQ(quiet.has_value(), c.newer);
    if (quiet) {
      EXPECT_EQ(*quiet, std::make_pair(kSoftware, LPARAM{1}));
    }
    EXPECT_EQ(manual, std::make_pair(kSoftware, LPARAM{c.newer ? 1 : 0}));
  }
}

TEST_F(UpdateCheckTest, ServersThatFailLeaveTheCheckSilentAndLogWhy) {
  SetVersion(L"software", "1.0.1.0");  // what a working server would offer
  const std::wstring silent = test::Env(L"CALORIX_TEST_SILENT");
  struct Case {
    const char* name;
    std::wstring base;
    const char* why;  // in the log line
  };
  const std::vector<Case> cases = {
      {"error page", test::SiteUrl(L"nothing-here"), "HTTP 404"},
      {"refused", test::Env(L"CALORIX_TEST_REFUSED") + L"/v", "error 12029"},
      // The receive time-out, which Wine reports as a dropped connection.
      {"silent", silent + L"/v", "error 12030"},
      {"silent TLS handshake", L"https" + silent.substr(4) + L"/v", "error 1460"},  // deadline
      // ERROR_INTERNET_INVALID_CA: the TLS handshake ran and the certificate was refused.
      {"untrusted certificate", test::Env(L"CALORIX_TEST_HTTPS") + L"/v", "error 12045"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UpdateService service(c.base, Links());
    const test::LogWatch log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Check(service, UpdateChannel::kSoftware, false));
    EXPECT_FALSE(Check(service, UpdateChannel::kFirmware, false));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 10.0) << "time-outs bound both checks";
    EXPECT_EQ(service.LatestVersion(UpdateChannel::kSoftware), L"");
    EXPECT_NE(log.Text().find(c.why), std::string::npos) << log.Text();
  }
}

// A display that answers the firmware query with version 0x0109 once per check.
void OpenDisplayWithFirmware0109() {
  hid_double::Reset();
  hid_double::Collection display;
  display.path = "display";
  hid_double::AddCollection(display);
  DeviceManager::Instance().RefreshDevices();
}

TEST_F(UpdateCheckTest, FirmwareTextsAgainstTheDevice) {
  OpenDisplayWithFirmware0109();
  ASSERT_EQ(DeviceManager::Instance().DeviceCount(), 1);
  UpdateService service(test::SiteUrl(L"v"), Links());
  struct Case {
    std::string body;
    std::optional<bool> newer;  // nothing: the text is ignored
  };
  const std::vector<Case> cases = {{"110", true},
                                   {"109", false},
                                   {"99\n", false},
                                   {"1.1.0", std::nullopt},
                                   {"..\\fw", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    SetVersion(L"firmware", c.body);
    hid_double::QueueFeatureReply("display", {0x07, 0x01, 0x09});
    const Result quiet = Check(service, UpdateChannel::kFirmware, true);
    hid_double::QueueFeatureReply("display", {0x07, 0x01, 0x09});
    const Result manual = Check(service, UpdateChannel::kFirmware, false);
    if (!c.newer) {
      EXPECT_FALSE(quiet);
      EXPECT_FALSE(manual);
      EXPECT_EQ(service.LatestVersion(UpdateChannel::kFirmware), L"") << "cleared by the check";
      continue;
    }
    EXPECT_EQ(quiet.has_value(), *c.newer);
    EXPECT_EQ(manual, std::make_pair(kFirmware, LPARAM{*c.newer ? 1 : 2}));
  }

  // No device: the start-up check stays silent, the manual one says "current".
  hid_double::Reset();
  DeviceManager::Instance().RefreshDevices();
  SetVersion(L"firmware", "110");
  EXPECT_FALSE(Check(service, UpdateChannel::kFirmware, true));
  EXPECT_EQ(Check(service, UpdateChannel::kFirmware, false), std::make_pair(kFirmware, LPARAM{2}));
  EXPECT_EQ(service.LatestVersion(UpdateChannel::kFirmware), L"110");
}

TEST_F(UpdateCheckTest, PromptsQueueTheDownloadOnYesOnly) {
  struct Asked {
    std::wstring text, title;
    int style;
  };
  std::vector<Asked> asked;
  unsigned answer = kBoxYes;
  UpdateLinks links = Links();
  links.message_box = [&](const std::wstring& text, const std::wstring& title, int style) {
    asked.push_back({text, title, style});
    return answer;
  };
  UpdateService service(test::SiteUrl(L"v"), std::move(links));
  Worker worker;  // never started: its queue shows what the handler appended
  service.Connect(worker);
  std::vector<int> queued;
  for (WorkerCommand command : {WorkerCommand::UpdateSoftware, WorkerCommand::UpdateFirmware}) {
    worker.SetHandler(command, [&queued, command](const StopToken&) {
      queued.push_back(static_cast<int>(command));
    });
  }
  auto handle = [&](const Result& result) {
    ASSERT_TRUE(result);
    EXPECT_EQ(service.OnUpdateResult(result->first, result->second), 0);
    while (worker.QueuedCount() > 0) worker.Run();
  };

  SetVersion(L"software", "1.0.1.0");
  const Result newer = Check(service, UpdateChannel::kSoftware, true);
  handle(newer);
  answer = 2;  // NO
  handle(newer);
  answer = 0;  // closed another way
  handle(newer);
  answer = kBoxYes;
  SetVersion(L"software", "1.0.0.9");
  handle(Check(service, UpdateChannel::kSoftware, false));
  OpenDisplayWithFirmware0109();
  SetVersion(L"firmware", "110");
  hid_double::QueueFeatureReply("display", {0x07, 0x01, 0x09});
  handle(Check(service, UpdateChannel::kFirmware, false));
  handle(std::make_pair(WPARAM{2}, LPARAM{2}));
  EXPECT_EQ(service.OnUpdateResult(3, 1), 0);

  const std::wstring kAsk = L"Detected the latest version:v";
  ASSERT_EQ(asked.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(asked[i].text, kAsk + L"1.0.1.0, update now?");
    EXPECT_EQ(asked[i].title, L"Software Updates");
    EXPECT_EQ(asked[i].style, 4);
  }
  EXPECT_EQ(asked[3].text, L"The software is the latest version!");
  EXPECT_EQ(asked[3].style, 0);
  EXPECT_EQ(asked[4].text, kAsk + L"110, update now?");
  EXPECT_EQ(asked[4].title, L"Firmware Updates");
  EXPECT_EQ(asked[5].text, L"The Firmware is the latest version!");
  EXPECT_EQ(asked[5].title, L"Firmware Updates");
  EXPECT_EQ(queued, (std::vector<int>{7, 8})) << "only the two YES answers to a newer version";
}

// The machine's override of the base URL is used only when it is a usable URL string.
TEST(UpdateConfigTest, MachineOverrideOfTheBaseUrl) {
  const std::wstring built_in = BuiltInUpdateBaseUrl();
  EXPECT_TRUE(IsUsableBaseUrl(built_in));
  EXPECT_EQ(built_in.rfind(L"https://", 0), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KEM", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  auto set_text = [key](const wchar_t* text) {
    ::RegSetValueExW(key, kUpdateUrlValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  };
  EXPECT_EQ(UpdateBaseUrl(), built_in);
  set_text(L"http://127.0.0.1:8080/mirror");
  EXPECT_EQ(UpdateBaseUrl(), L"http://127.0.0.1:8080/mirror");
  set_text(L"file://C:/evil");
  EXPECT_EQ(UpdateBaseUrl(), built_in);
  set_text((L"https://" + std::wstring(400, L'a')).c_str());  // longer than the value read
  EXPECT_EQ(UpdateBaseUrl(), built_in);
  const DWORD number = 1;
  ::RegSetValueExW(key, kUpdateUrlValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
  EXPECT_EQ(UpdateBaseUrl(), built_in);
  ::RegDeleteValueW(key, kUpdateUrlValue);
  ::RegCloseKey(key);
}

}  // namespace
}  // namespace calorix
