// The version checks against the test server on 127.0.0.1: which bodies count, how versions
// compare, the firmware number, no device, servers that fail, and the prompts after a check.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/worker.h"
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
    links.key = test::TestKey;
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

// A display that answers each firmware query with version 0x0109 (or none at all).
void OpenDisplay(bool present) {
  hid_double::Reset();
  if (present) {
    hid_double::Collection display;
    display.path = "display";
    hid_double::AddCollection(display);
  }
  DeviceManager::Instance().RefreshDevices();
  for (int i = 0; present && i < 4; ++i) hid_double::QueueFeatureReply("display", {7, 1, 9});
}

TEST_F(UpdateCheckTest, SoftwareBodiesAgainstTheRunningVersion) {
  UpdateService service(test::SiteUrl(L"v"), Links());
  struct Case {
    std::string body;
    bool newer;
    const wchar_t* stored;  // null: ignored, the latest version stays what it was
  };
  const std::vector<Case> cases = {
      {"1.0.0.9", false, L"1.0.0.9"},
      {"1.0.0.10", true, L"1.0.0.10"},
      {"1.0.1", true, L"1.0.1"},
      {"1.0.0.9.1", true, L"1.0.0.9.1"},
      {"1.0.0.8", false, L"1.0.0.8"},
      {"1.0", false, L"1.0"},  // fewer parts, and older: never offered
      {"1.0.1.0\r\n", true, L"1.0.1.0"},
      {"1.0.0.10.1 ", false, nullptr},
      {"..\\..\\x", false, nullptr},
      {"", false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    SetVersion(L"software", c.body);
    const std::wstring before = service.LatestVersion(UpdateChannel::kSoftware);
    const Result quiet = Check(service, UpdateChannel::kSoftware, true);
    const Result manual = Check(service, UpdateChannel::kSoftware, false);
    EXPECT_EQ(service.LatestVersion(UpdateChannel::kSoftware), c.stored ? c.stored : before);
    EXPECT_EQ(quiet, c.newer ? Result(std::make_pair(kSoftware, 1)) : std::nullopt);
    EXPECT_EQ(manual, c.stored ? Result(std::make_pair(kSoftware, c.newer ? 1 : 0)) : std::nullopt);
  }
}

TEST_F(UpdateCheckTest, FirmwareTextsAgainstTheDevice) {
  UpdateService service(test::SiteUrl(L"v"), Links());
  struct Case {
    std::string body;
    bool device;
    Result quiet, manual;
  };
  const Result newer = std::make_pair(kFirmware, 1), current = std::make_pair(kFirmware, 2);
  const std::vector<Case> cases = {
      {"110", true, newer, newer},
      {"109", true, std::nullopt, current},
      {"1.1.0", true, std::nullopt, std::nullopt},  // ignored, like an overlong text
      {"110", false, std::nullopt, current},        // no device: silent, or "current"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body + (c.device ? " with device" : " without device"));
    OpenDisplay(c.device);
    SetVersion(L"firmware", c.body);
    EXPECT_EQ(Check(service, UpdateChannel::kFirmware, true), c.quiet);
    EXPECT_EQ(Check(service, UpdateChannel::kFirmware, false), c.manual);
    // Cleared when the check starts, then the text that counted.
    EXPECT_EQ(test::ToNarrow(service.LatestVersion(UpdateChannel::kFirmware)),
              c.manual ? c.body : "");
  }
}

TEST_F(UpdateCheckTest, ServersThatFailLeaveTheCheckSilentAndLogWhy) {
  SetVersion(L"software", "1.0.1.0");  // what a working server would offer
  const std::wstring silent = test::Env(L"CALORIX_TEST_SILENT");
  const std::vector<std::pair<std::wstring, const char*>> cases = {
      {test::SiteUrl(L"nothing-here"), "HTTP 404"},
      {test::Env(L"CALORIX_TEST_REFUSED") + L"/v", "error 12029"},
      {silent + L"/v", "error 12030"},  // the receive time-out, as Wine reports it
      // ERROR_INTERNET_INVALID_CA: the handshake ran and the certificate was refused.
      {test::Env(L"CALORIX_TEST_HTTPS") + L"/v", "error 12045"},
      // The deadline ends the TLS handshake, which goes on waiting: the firmware check after it
      // is refused at once.
      {L"https" + silent.substr(4) + L"/v", kEarlierRequestStranded},
  };
  for (const auto& [base, why] : cases) {
    SCOPED_TRACE(why);
    UpdateService service(base, Links());
    const test::LogWatch log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Check(service, UpdateChannel::kSoftware, false));
    EXPECT_FALSE(Check(service, UpdateChannel::kFirmware, false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(service.LatestVersion(UpdateChannel::kSoftware), L"");
    EXPECT_NE(log.Text().find(why), std::string::npos) << log.Text();
  }
}

TEST_F(UpdateCheckTest, PromptsQueueTheDownloadOnYesOnly) {
  std::vector<std::wstring> asked;
  unsigned answer = kBoxYes;
  UpdateLinks links = Links();
  links.message_box = [&](const std::wstring& text, const std::wstring& title, int style) {
    asked.push_back(title + L"|" + text + L"|" + std::to_wstring(style));
    return answer;
  };
  UpdateService service(test::SiteUrl(L"v"), std::move(links));
  Worker worker;  // never started: its queue shows what the handler appended
  service.Connect(worker);
  std::vector<int> queued;
  for (WorkerCommand command : {WorkerCommand::UpdateSoftware, WorkerCommand::UpdateFirmware})
    worker.SetHandler(command, [&, command](const StopToken&) { queued.push_back(int(command)); });
  auto handle = [&](const Result& result, unsigned with) {
    ASSERT_TRUE(result);
    answer = with;
    EXPECT_EQ(service.OnUpdateResult(result->first, result->second), 0);
    while (worker.QueuedCount() > 0) worker.Run();
  };
  SetVersion(L"software", "1.0.1.0");
  const Result newer = Check(service, UpdateChannel::kSoftware, true);
  for (unsigned with : {kBoxYes, 2u, 0u}) handle(newer, with);  // YES, NO, closed otherwise
  handle(std::make_pair(kSoftware, 0), kBoxYes);
  OpenDisplay(true);
  SetVersion(L"firmware", "110");
  handle(Check(service, UpdateChannel::kFirmware, false), kBoxYes);
  handle(std::make_pair(kFirmware, 2), kBoxYes);
  EXPECT_EQ(service.OnUpdateResult(3, 1), 0);
  UpdateLinks keyless = Links();
  keyless.key = [] { return std::optional<UpdateKey>(); };
  keyless.message_box = [&](const std::wstring& text, const std::wstring&, int style) {
    asked.push_back(text + L"|" + std::to_wstring(style));
    return kBoxYes;
  };
  UpdateService cannot_install(test::SiteUrl(L"v"), std::move(keyless));
  const Result announced = Check(cannot_install, UpdateChannel::kSoftware, true);
  ASSERT_TRUE(announced);
  cannot_install.OnUpdateResult(announced->first, announced->second);

  const std::wstring ask = L"Software Updates|Detected the latest version:v1.0.1.0, update now?|4";
  EXPECT_EQ(asked, (std::vector<std::wstring>{
                       ask, ask, ask, L"Software Updates|The software is the latest version!|0",
                       L"Firmware Updates|Detected the latest version:v110, update now?|4",
                       L"Firmware Updates|The Firmware is the latest version!|0",
                       L"Detected the latest version:v1.0.1.0. This copy has no update key to "
                       L"verify it with, so it cannot install it.|0"}));
  EXPECT_EQ(queued, (std::vector<int>{7, 8})) << "only the YES answers to a newer version";
}

// The machine's overrides of the base URL and the key count only when usable.
TEST(UpdateConfigTest, MachineOverridesOfTheBaseUrlAndTheKey) {
  const std::wstring built_in = BuiltInUpdateBaseUrl();
  EXPECT_EQ(built_in.rfind(L"https://", 0), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KEM", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  auto set = [key](const wchar_t* name, DWORD type, const std::wstring& text) {
    ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  };
  auto url = [&](DWORD type, const std::wstring& text) {
    set(kUpdateUrlValue, type, text);
    return UpdateBaseUrl();
  };
  EXPECT_EQ(url(REG_SZ, L"http://127.0.0.1:8080/mirror"), L"http://127.0.0.1:8080/mirror");
  EXPECT_EQ(url(REG_SZ, L"http://mirror.example"), built_in);  // plain http leaves the machine
  EXPECT_EQ(url(REG_SZ, L"file://C:/evil"), built_in);
  EXPECT_EQ(url(REG_SZ, L"https://" + std::wstring(600, L'a')), built_in);  // does not fit
  EXPECT_EQ(url(REG_BINARY, L"https://mirror.example"), built_in);
  ::RegDeleteValueW(key, kUpdateUrlValue);
  EXPECT_EQ(UpdateBaseUrl(), built_in);

  // The test build has no key of its own; a PEM text with its line breaks counts as well.
  const std::optional<UpdateKey> none = ConfiguredUpdateKey();
  const std::wstring text = test::Env(L"CALORIX_TEST_KEY");
  set(kUpdateKeyValue, REG_SZ,
      L"-----BEGIN PUBLIC KEY-----\r\n" + text.substr(0, 64) + L"\r\n" + text.substr(64) +
          L"\r\n-----END PUBLIC KEY-----\r\n");
  EXPECT_EQ(ConfiguredUpdateKey().value_or(UpdateKey{}).point, test::TestKey()->point);
  set(kUpdateKeyValue, REG_SZ, text.substr(1));
  EXPECT_EQ(ConfiguredUpdateKey().has_value(), none.has_value());
  ::RegDeleteValueW(key, kUpdateKeyValue);
  ::RegCloseKey(key);
}

}  // namespace
}  // namespace calorix
