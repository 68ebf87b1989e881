// SendTemperature against the scripted hidapi: report bytes, log lines, window value, pause.
#include "app/device/send_temperature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "app/device/display_report.h"
#include "app/shell/worker.h"
#include "app/system/log.h"
#include "tests/doubles/hidapi_double.h"

namespace calorix {
namespace {

using namespace std::chrono_literals;

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// The device manager is process-wide: it is reset first, so that every test starts with a
// fresh one whatever ran before it in the same process.
class SendTemperatureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceManager::Instance().ResetForTesting();
    hid_double::Reset();
    log_ = std::filesystem::temp_directory_path() /
           ("calorix_send_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log");
    std::error_code ec;
    std::filesystem::remove(log_, ec);
    ASSERT_TRUE(LogOpen(log_));
    std::memset(&block_, 0, sizeof(block_));
    links_.block = [this] { return mapped_ ? &block_ : nullptr; };
    links_.unit_setting = [this] { return unit_.load(); };
    links_.set_cpu_temp = [this](float t) { shown_.push_back(t); };
    links_.invalidate = [this] { ++invalidated_; };
  }
  void TearDown() override {
    LogClose();
    std::error_code ec;
    std::filesystem::remove(log_, ec);
  }

  void AddDisplay(const std::string& path) {
    hid_double::Collection c;
    c.path = path;
    hid_double::AddCollection(c);
  }
  void OneDisplay() {
    AddDisplay("display");
    DeviceManager::Instance().RefreshDevices();
  }
  SendResult Send() {
    return SendTemperature(links_, [this](std::chrono::milliseconds d) { pauses_.push_back(d); });
  }
  std::vector<std::string> LogLines() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  // The message of a log line after its time stamp and level.
  static std::string Message(const std::string& line) {
    const auto at = line.find("][");
    return at == std::string::npos ? line : line.substr(at + 1);
  }
  void ExpectNothingHappened(const char* what) {
    EXPECT_TRUE(hid_double::FeatureWrites().empty()) << what;
    EXPECT_TRUE(LogLines().empty()) << what;
    EXPECT_TRUE(pauses_.empty()) << what;
    EXPECT_TRUE(shown_.empty()) << what;
    EXPECT_EQ(invalidated_, 0) << what;
  }
  std::vector<std::uint8_t> LastDigits() const {
    const auto writes = hid_double::FeatureWrites();
    if (writes.empty()) return {};
    const auto& b = writes.back().bytes;
    return {b[3], b[4], b[5]};
  }

  std::filesystem::path log_;
  TemperatureBlock block_;
  bool mapped_ = true;
  std::atomic<int> unit_{kCelsius};
  SendTemperatureLinks links_;
  std::vector<float> shown_;
  int invalidated_ = 0;
  std::vector<std::chrono::milliseconds> pauses_;
};

TEST_F(SendTemperatureTest, OneReportWithItsLogLinesWindowValueAndPause) {
  OneDisplay();
  block_.cpu_temperature = 65.7f;
  EXPECT_EQ(Send(), SendResult::kSent);

  const auto writes = hid_double::FeatureWrites();
  ASSERT_EQ(writes.size(), 1u);
  std::vector<std::uint8_t> expected(65, 0x00);
  expected[0] = 0x07;
  expected[1] = expected[2] = 0xFF;
  expected[3] = 0;
  expected[4] = 6;
  expected[5] = 5;
  EXPECT_EQ(writes[0].bytes, expected);  // 65 bytes, the last one 0x00
  EXPECT_EQ(shown_, std::vector<float>{65.0f});
  EXPECT_EQ(invalidated_, 1);
  EXPECT_EQ(pauses_, std::vector<std::chrono::milliseconds>{1000ms});
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[0]), "[Info ]cpu_temperatures: 65.699997");
  EXPECT_EQ(Message(lines[1]), "[Info ]buffer[3]: 0, buffer[4]: 6, buffer[5]: 5");
}

TEST_F(SendTemperatureTest, NoReadingSendsLogsAndPausesNothing) {
  OneDisplay();
  mapped_ = false;
  block_.cpu_temperature = 50.0f;
  EXPECT_EQ(Send(), SendResult::kNotMapped);
  ExpectNothingHappened("not mapped");
  mapped_ = true;
  const float no_value[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()};
  for (float value : no_value) {
    block_.cpu_temperature = value;
    EXPECT_EQ(Send(), SendResult::kNoValue) << value;
    ExpectNothingHappened(std::to_string(value).c_str());
  }
}

TEST_F(SendTemperatureTest, NegativeReadingShowsZero) {
  OneDisplay();
  block_.cpu_temperature = -5.3f;
  EXPECT_EQ(Send(), SendResult::kSent);
  EXPECT_EQ(LastDigits(), (std::vector<std::uint8_t>{0, 0, 0}));
  EXPECT_EQ(shown_, std::vector<float>{0.0f});
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[0]), "[Info ]cpu_temperatures: -5.300000");
  EXPECT_EQ(pauses_.size(), 1u);
}

TEST_F(SendTemperatureTest, UnitsAndTheUpperLimit) {
  OneDisplay();
  struct Case {
    float celsius;
    int unit;
    int shown;
  };
  const Case cases[] = {
      {9.5f, kCelsius, 9},
      {250.0f, kCelsius, 199},
      {199.9f, kCelsius, 199},
      {45.9f, kFahrenheit, 113},
      {100.0f, kFahrenheit, 199},
      {20.0f, kFahrenheit, 68},
      {20.0f, 2, 20},  // "tempe_type" 2 is not Fahrenheit
      {1e30f, kCelsius, 199},
  };
  for (const Case& c : cases) {
    block_.cpu_temperature = c.celsius;
    unit_ = c.unit;
    shown_.clear();
    EXPECT_EQ(Send(), SendResult::kSent);
    const std::vector<std::uint8_t> digits = {static_cast<std::uint8_t>(c.shown / 100),
                                              static_cast<std::uint8_t>(c.shown / 10 % 10),
                                              static_cast<std::uint8_t>(c.shown % 10)};
    EXPECT_EQ(LastDigits(), digits) << c.celsius << " unit " << c.unit;
    EXPECT_EQ(shown_, std::vector<float>{static_cast<float>(c.shown)}) << c.celsius;
  }
  EXPECT_EQ(hid_double::FeatureWrites().size(), std::size(cases));
}

// The window draws the number truncated; it is invalidated only when that number changes
// (or it draws none), while every reading still reaches the display, the log and the pause.
TEST_F(SendTemperatureTest, TheWindowIsInvalidatedOnlyWhenItsNumberChanges) {
  OneDisplay();
  float drawn = 0.0f;  // as Zentu's Manager holds it
  links_.set_cpu_temp = [&](float t) { drawn = t; };
  links_.shown_cpu_temp = [&] { return drawn; };
  // Shown: 0 (already drawn), 65, 65, 65, 66, 150 (Fahrenheit), 150.
  const struct {
    float celsius;
    int unit, invalidated;
  } steps[] = {{-3.0f, kCelsius, 0},   {65.7f, kCelsius, 1}, {65.2f, kCelsius, 1},
               {65.99f, kCelsius, 1},  {66.0f, kCelsius, 2}, {66.0f, kFahrenheit, 3},
               {66.5f, kFahrenheit, 3}};
  for (const auto& step : steps) {
    block_.cpu_temperature = step.celsius;
    unit_ = step.unit;
    EXPECT_EQ(Send(), SendResult::kSent);
    EXPECT_EQ(invalidated_, step.invalidated) << step.celsius << " unit " << step.unit;
  }
  drawn = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Send(), SendResult::kSent);
  EXPECT_EQ(invalidated_, 4);
  const std::size_t reports = std::size(steps) + 1;
  EXPECT_EQ(hid_double::FeatureWrites().size(), reports);
  EXPECT_EQ(pauses_.size(), reports);
  EXPECT_EQ(LogLines().size(), 2 * reports);
}

TEST_F(SendTemperatureTest, WithoutADisplayTheWindowStillGetsTheValue) {
  block_.cpu_temperature = 40.0f;
  EXPECT_EQ(Send(), SendResult::kSent);        // the device list was never opened
  DeviceManager::Instance().RefreshDevices();  // opened, but no display attached
  EXPECT_EQ(Send(), SendResult::kSent);
  EXPECT_TRUE(hid_double::FeatureWrites().empty());
  EXPECT_EQ(shown_, (std::vector<float>{40.0f, 40.0f}));
  EXPECT_EQ(LogLines().size(), 4u);
  EXPECT_EQ(pauses_.size(), 2u);
}

TEST_F(SendTemperatureTest, EveryDisplayGetsTheReport) {
  AddDisplay("first");
  AddDisplay("second");
  DeviceManager::Instance().RefreshDevices();
  block_.cpu_temperature = 72.0f;
  EXPECT_EQ(Send(), SendResult::kSent);
  const auto writes = hid_double::FeatureWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].path, "first");
  EXPECT_EQ(writes[1].path, "second");
  EXPECT_EQ(writes[0].bytes, writes[1].bytes);
}

TEST_F(SendTemperatureTest, DeviceTypeOneShowsTheNamedAdapterConvertedAndLimitedLikeTheCpu) {
  OneDisplay();
  int device_type = kDeviceTypeGpu;
  std::vector<ReadingSource> sources;
  links_.device_type = [&device_type] { return device_type; };
  links_.shown_source = [&sources](ReadingSource s) { sources.push_back(s); };
  block_.cpu_temperature = 48.3f;
  block_.gpu1_temperature = 90.0f;  // unnamed: not the one shown
  block_.gpu2_temperature = 61.5f;
  Send();  // no adapter named: the CPU's value
  EXPECT_EQ(LastDigits(), (std::vector<std::uint8_t>{0, 4, 8}));
  std::strcpy(block_.gpu2_name, "Stand-in GPU");
  Send();
  EXPECT_EQ(LastDigits(), (std::vector<std::uint8_t>{0, 6, 1}));
  EXPECT_EQ(shown_.back(), 61.0f);
  unit_ = kFahrenheit;
  block_.gpu2_temperature = 250.0f;
  Send();
  EXPECT_EQ(LastDigits(), (std::vector<std::uint8_t>{1, 9, 9}));
  device_type = 0;
  Send();
  EXPECT_EQ(LastDigits(), (std::vector<std::uint8_t>{1, 1, 8}));  // 48 C is 118 F
  EXPECT_EQ(sources, (std::vector<ReadingSource>{ReadingSource::kCpu, ReadingSource::kGpu,
                                                 ReadingSource::kGpu, ReadingSource::kCpu}));
}

TEST_F(SendTemperatureTest, TheWorkersPauseEndsWhenItIsStopped) {
  OneDisplay();
  block_.cpu_temperature = 55.0f;
  std::atomic<int> shown{0};
  links_.set_cpu_temp = [&shown](float) { ++shown; };
  Worker worker;
  worker.SetSendTemperature(links_);
  ASSERT_TRUE(worker.Start());
  WaitUntil([] { return !hid_double::FeatureWrites().empty(); });
  ASSERT_EQ(hid_double::FeatureWrites().size(), 1u);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(worker.Stop());  // ended inside the 1000 ms pause
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
  EXPECT_EQ(hid_double::FeatureWrites().size(), 1u);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(LogLines().size(), 2u);
}

// Without a reading the worker neither sends nor polls every 16 ms: it looks 4 times a second
// for 10 s after a server start, then once a second, counted here in simulated time.
TEST_F(SendTemperatureTest, WithoutAReadingTheWorkerLooksQuicklyOnlyAfterAServerStart) {
  constexpr auto kServerStart = 30s, kEnd = 45s;
  std::atomic<std::int64_t> now_ms{0};
  std::vector<int> looks_in_second(kEnd / 1s);  // written by the worker thread only
  links_.block = [&]() -> const TemperatureBlock* {
    const std::int64_t at = now_ms;
    if (at < kEnd / 1ms) ++looks_in_second[at / 1000];
    return at % 2000 < 1000 ? nullptr : &block_;  // not mapped, then reading 0.0, in turn
  };
  Worker worker;
  worker.SetSendTemperature(links_);
  worker.SetLookTimingForTesting(
      [&] { return std::chrono::milliseconds(now_ms.load()); },
      [&](std::chrono::milliseconds wait) {
        const std::int64_t at = now_ms, start = kServerStart / 1ms;
        now_ms = at < start && at + wait.count() >= start ? start : at + wait.count();
        if (at < start && now_ms == start) worker.LookSoon();  // the start ends the wait
        if (now_ms >= kEnd / 1ms) std::this_thread::sleep_for(1ms);
      });
  worker.LookSoon();  // the program starts the server before the worker
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return now_ms >= kEnd / 1ms; }));
  EXPECT_TRUE(worker.Stop());
  std::vector<int> expected(looks_in_second.size(), 1);
  std::fill_n(expected.begin(), 10, 4);
  std::fill_n(expected.begin() + kServerStart / 1s, 10, 4);
  EXPECT_EQ(looks_in_second, expected);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(invalidated_, 0);
}

// A command, a stop or LookSoon ends the wait for the next look at once.
TEST_F(SendTemperatureTest, ACommandAStopOrLookSoonEndsTheWaitForTheNextLook) {
  std::atomic<int> looks{0}, refreshes{0};
  links_.block = [&]() -> const TemperatureBlock* {
    ++looks;
    return nullptr;
  };
  Worker worker;
  worker.SetHandler(WorkerCommand::RefreshDevices, [&](const StopToken&) { ++refreshes; });
  worker.SetSendTemperature(links_);
  // With a look period beyond every time-out here, only the signals can end the waits.
  worker.SetIdleLookPeriod(60s);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return looks == 1; }));  // now in a 60 s wait
  const auto appended = std::chrono::steady_clock::now();
  worker.Append(WorkerCommand::RefreshDevices);
  ASSERT_TRUE(WaitUntil([&] { return refreshes == 1 && looks == 2; }));
  worker.LookSoon();
  ASSERT_TRUE(WaitUntil([&] { return looks >= 3; }));
  EXPECT_LT(std::chrono::steady_clock::now() - appended, 5s);
  const auto stopping = std::chrono::steady_clock::now();
  EXPECT_TRUE(worker.Stop());
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 5s);
}

}  // namespace
}  // namespace calorix
