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

}  // namespace
}  // namespace calorix
