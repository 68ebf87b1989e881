// Server paths, the code-page-936 error lines and the watchdog's tick counting.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "app/temperature/server_paths.h"
#include "app/temperature/server_watchdog.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace calorix {
namespace {

TEST(ServerPaths, FormatWithDoubledSeparatorAndQuoting) {
  EXPECT_EQ(MonitorServerPath(L"D:\\Apps\\Tool\\", true),
            L"D:\\Apps\\Tool\\\\HardwareMonitor\\Kalvaro.exe");
  EXPECT_EQ(MonitorServerPath(L"D:\\Apps\\Tool\\", false),
            L"D:\\Apps\\Tool\\\\HardwareMonitorWin7\\Kalvaro.exe");
  EXPECT_EQ(QuotedCommandLine(L"C:\\dir with spaces\\\\HardwareMonitorWin7\\Kalvaro.exe"),
            L"\"C:\\dir with spaces\\\\HardwareMonitorWin7\\Kalvaro.exe\"");
}

TEST(ServerPaths, ProgramDirectoryKeepsTheFolderWithItsBackslash) {
  EXPECT_EQ(ProgramDirectoryOf(L"D:\\Apps\\Tool\\Calorix.exe"), L"D:\\Apps\\Tool\\");
  EXPECT_EQ(ProgramDirectoryOf(L"C:\\Calorix.exe"), L"C:\\");
  EXPECT_EQ(ProgramDirectoryOf(L"\\\\server\\share\\dir with spaces\\x.exe"),
            L"\\\\server\\share\\dir with spaces\\");
  EXPECT_EQ(ProgramDirectoryOf(L"Z:/mixed/dir\\file.exe"), L"Z:/mixed/dir\\");
}

// Encodes UTF-8 text in code page 936 with the platform's own converter.
std::string ToCodePage936(const std::string& utf8) {
#ifdef _WIN32
  const int wide_size =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(wide_size, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), wide_size);
  const int size =
      ::WideCharToMultiByte(936, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  ::WideCharToMultiByte(936, 0, wide.data(), wide_size, out.data(), size, nullptr, nullptr);
  return out;
#else
  iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no converter>";
  std::string in = utf8;
  std::string out(in.size() * 2, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t src_left = in.size(), dst_left = out.size();
  iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
#endif
}

TEST(ServerPaths, ErrorLinesAreCodePage936) {
  EXPECT_EQ(kNtdllLoadFailedLine, ToCodePage936("无法加载 ntdll.dll\n"));
  EXPECT_EQ(kVersionFunctionMissingLine,
            ToCodePage936("无法获取 RtlGetNtVersionNumbers 函数的地址\n"));
}

TemperatureBlock BlockWithLiveness(float liveness) {
  TemperatureBlock block{};
  block.cpu_liveness = liveness;
  return block;
}

TEST(ServerWatchdog, LivenessDecidesWhetherToStart) {
  EXPECT_FALSE(ServerNeedsStart(nullptr));
  const TemperatureBlock zero = BlockWithLiveness(0.0f);
  const TemperatureBlock negative_zero = BlockWithLiveness(-0.0f);
  const TemperatureBlock negative = BlockWithLiveness(-3.0f);
  const TemperatureBlock tiny = BlockWithLiveness(std::numeric_limits<float>::denorm_min());
  const TemperatureBlock live = BlockWithLiveness(1.0f);
  const TemperatureBlock nan = BlockWithLiveness(std::numeric_limits<float>::quiet_NaN());
  const TemperatureBlock minus_inf = BlockWithLiveness(-std::numeric_limits<float>::infinity());
  EXPECT_TRUE(ServerNeedsStart(&zero));
  EXPECT_TRUE(ServerNeedsStart(&negative_zero));
  EXPECT_TRUE(ServerNeedsStart(&negative));
  EXPECT_TRUE(ServerNeedsStart(&minus_inf));
  EXPECT_FALSE(ServerNeedsStart(&tiny));
  EXPECT_FALSE(ServerNeedsStart(&live));
  EXPECT_FALSE(ServerNeedsStart(&nan));  // not a number counts as published
}

TEST(ServerWatchdog, TwelveTicksThenTheTimerIsKilled) {
  const TemperatureBlock silent = BlockWithLiveness(0.0f);
  ServerWatchdog watchdog;
  int starts = 0;
  for (int tick = 1; tick <= 12; ++tick) {
    const ServerWatchdog::Step step = watchdog.Tick(&silent);
    starts += step.start_server;
    EXPECT_EQ(step.kill_timer, tick == 12) << "tick " << tick;
  }
  EXPECT_EQ(starts, 12);
  EXPECT_TRUE(watchdog.finished());
  // A late tick neither starts the server nor lets the counter run on.
  for (int late = 0; late < 3; ++late) {
    const ServerWatchdog::Step step = watchdog.Tick(&silent);
    EXPECT_FALSE(step.start_server);
    EXPECT_TRUE(step.kill_timer);
  }
  EXPECT_EQ(watchdog.ticks(), 12u);
}

TEST(ServerWatchdog, UnmappedAndPublishedTicksStillCount) {
  const TemperatureBlock live = BlockWithLiveness(4.0f);
  const TemperatureBlock silent = BlockWithLiveness(0.0f);
  ServerWatchdog watchdog;
  // Not mapped for five ticks, then published for five, then silent again.
  int starts = 0;
  for (int i = 0; i < 5; ++i) starts += watchdog.Tick(nullptr).start_server;
  for (int i = 0; i < 5; ++i) starts += watchdog.Tick(&live).start_server;
  EXPECT_EQ(starts, 0);
  EXPECT_TRUE(watchdog.Tick(&silent).start_server);
  const ServerWatchdog::Step last = watchdog.Tick(&silent);
  EXPECT_TRUE(last.start_server);
  EXPECT_TRUE(last.kill_timer);
}

using Ms = ServerKeeper::Ms;
constexpr Ms kMinute{60000};
constexpr Ms kLook{5000};

// The process list as the keeper sees it, counting how often it is read.
struct ProcessList {
  bool any = false;
  int reads = 0;
  std::function<bool()> Say(bool running) {
    any = running;
    return [this] { return ++reads, any; };
  }
};

// The watch tells the keeper when our copy ends and looks when the keeper says.
TEST(ServerKeeper, RestartsAtItsSlotNeverBesideAnotherCopyAndGivesUpAfterTenFailures) {
  ServerKeeper keeper(kMinute);
  ProcessList list;
  keeper.Started(Ms(0), true, false);  // the main window's start
  // Killed two minutes in: its slot came long ago, so it is started again at once.
  Ms t = 2 * kMinute;
  keeper.Ended(t);
  EXPECT_TRUE(keeper.Look(t, list.Say(false)));
  keeper.Started(t, true, true);
  // It ends again 5 s later: a failed restart, and the next one waits for its slot without
  // reading the process list before.
  const Ms restarted = t;
  keeper.Ended(t += kLook);
  EXPECT_EQ(keeper.failed_in_a_row(), 1);
  list.reads = 0;
  EXPECT_FALSE(keeper.Look(t, list.Say(false)));
  EXPECT_EQ(list.reads, 0);
  EXPECT_EQ(t = keeper.NextLook(t), restarted + kMinute);
  EXPECT_TRUE(keeper.Look(t, list.Say(false)));
  keeper.Started(t, true, true);
  keeper.Ended(t += kLook);
  // The user's copy runs after ours ended: nothing is started beside it, one look a slot.
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(keeper.Look(t = keeper.NextLook(t), list.Say(true)));
  EXPECT_EQ(list.reads, 6);
  EXPECT_EQ(keeper.failed_in_a_row(), 2);
  EXPECT_TRUE(keeper.Look(t = keeper.NextLook(t), list.Say(false)));
  keeper.Started(t, true, true);
  keeper.Ended(t += kMinute);  // it lasted a minute: the failures are cleared
  EXPECT_EQ(keeper.failed_in_a_row(), 0);
  // From now on every restart fails, half of them to start at all: ten, a minute apart, then
  // none.
  std::vector<Ms> starts;
  for (const Ms end = t + 60 * kMinute; t < end; t = keeper.NextLook(t)) {
    if (!keeper.Look(t, list.Say(false))) continue;
    starts.push_back(t);
    const bool started = starts.size() % 2 == 0;
    keeper.Started(t, started, true);
    if (started) keeper.Ended(t += kLook);
  }
  ASSERT_EQ(starts.size(), 10u);
  for (std::size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], kMinute);
  EXPECT_TRUE(keeper.gave_up());
  EXPECT_EQ(keeper.restarts(), 13);
}

}  // namespace
}  // namespace calorix
