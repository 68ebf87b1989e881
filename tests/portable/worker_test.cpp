// The worker: command order, dispatch of every code, concurrent appends, bounded stopping.
#include "app/shell/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/system/log.h"

namespace calorix {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = Clock::now() + timeout;
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// What the step did, in order, from whichever thread.
class Journal {
 public:
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back(what);
  }
  std::vector<std::string> Entries() const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_;
  }
  std::size_t Size() const { return Entries().size(); }

 private:
  mutable std::mutex lock_;
  std::vector<std::string> entries_;
};

CommandHandler Record(Journal& journal, const std::string& what) {
  return [&journal, what](const StopToken&) { journal.Add(what); };
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The worker's pauses and queue wait on this pair (the system's own under Windows): a wait
// lasts its whole time-out unless the condition comes true, and a notify ends it at once.
TEST(WorkerTest, AWaitEndsAtItsTimeOutOrWhenItsConditionComesTrue) {
  WaitMutex lock;
  WaitCondition condition;
  bool done = false;
  std::unique_lock<WaitMutex> guard(lock);
  auto start = Clock::now();
  EXPECT_FALSE(condition.wait_for(guard, 60ms, [&] { return done; }));
  EXPECT_GE(Clock::now() - start, 60ms);

  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    std::lock_guard<WaitMutex> setting(lock);
    done = true;
    condition.notify_all();
  });
  start = Clock::now();
  EXPECT_TRUE(condition.wait_for(guard, 60s, [&] { return done; }));
  EXPECT_LT(Clock::now() - start, 30s);
  guard.unlock();
  setter.join();
  guard.lock();
  EXPECT_TRUE(condition.wait_for(guard, 60s, [&] { return done; }));  // true: no wait at all
}

TEST(WorkerTest, StartUpRunsTheQueuedCommandsBeforeTheFirstReport) {
  Journal journal;
  Worker worker;
  worker.SetHandler(WorkerCommand::CheckSoftwareQuiet, Record(journal, "software quiet"));
  worker.SetHandler(WorkerCommand::RefreshDevices, Record(journal, "refresh"));
  worker.SetHandler(WorkerCommand::CheckFirmwareQuiet, Record(journal, "firmware quiet"));
  worker.SetIdleStep([&journal](const StopToken& stop) {
    journal.Add("report");
    stop.SleepFor(1000ms);
  });
  worker.Append(WorkerCommand::CheckSoftwareQuiet);
  worker.Append(WorkerCommand::RefreshDevices);
  worker.Append(WorkerCommand::CheckFirmwareQuiet);
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());  // already running
  ASSERT_TRUE(WaitUntil([&] { return journal.Size() >= 4; }));
  EXPECT_TRUE(worker.Stop());
  const auto entries = journal.Entries();
  ASSERT_GE(entries.size(), 4u);
  EXPECT_EQ(entries[0], "software quiet");
  EXPECT_EQ(entries[1], "refresh");
  EXPECT_EQ(entries[2], "firmware quiet");
  EXPECT_EQ(entries[3], "report");
}

TEST(WorkerTest, UnusedAndUnknownCodesAreConsumedWithoutEffect) {
  Journal journal;
  Worker worker;  // driven step by step, without its thread
  for (int code = 1; code <= 8; ++code) {
    if (WorkerCommandName(code))
      worker.SetHandler(static_cast<WorkerCommand>(code), Record(journal, std::to_string(code)));
  }
  worker.SetIdleStep(Record(journal, "idle"));
  for (int code : {2, 9, 0, -1, 1000}) {
    EXPECT_EQ(worker.Dispatch(code), CommandResult::kIgnored) << code;
  }
  EXPECT_EQ(journal.Size(), 0u);

  worker.Append(2);
  worker.Append(1);
  worker.Append(9);
  worker.Append(1);
  for (int i = 0; i < 4; ++i) worker.Run();
  EXPECT_EQ(worker.QueuedCount(), 0u);
  EXPECT_EQ(journal.Entries(), (std::vector<std::string>{"1", "1"}));  // both refreshes ran
  worker.Run();
  EXPECT_EQ(journal.Entries().back(), "idle");
}

TEST(WorkerTest, UpdateEntriesWithoutAHandlerSaySo) {
  const auto file = std::filesystem::temp_directory_path() / "calorix_worker_no_handler.log";
  std::error_code ec;
  std::filesystem::remove(file, ec);
  ASSERT_TRUE(LogOpen(file));
  Worker worker;
  for (int code = 3; code <= 8; ++code) {
    worker.Append(code);
    worker.Run();
  }
  EXPECT_EQ(worker.QueuedCount(), 0u);  // consumed, not left to block the queue
  EXPECT_EQ(worker.Dispatch(7), CommandResult::kNoHandler);
  LogClose();

  std::vector<std::string> lines;
  {
    std::ifstream in(file);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }
  std::filesystem::remove(file, ec);
  ASSERT_EQ(lines.size(), 7u);
  const char* names[] = {"CheckSoftware",      "CheckFirmware",  "CheckSoftwareQuiet",
                         "CheckFirmwareQuiet", "UpdateSoftware", "UpdateFirmware"};
  for (int i = 0; i < 6; ++i) {
    const std::string expected = "[Warn ]worker command " + std::to_string(i + 3) + " (" +
                                 names[i] + ") has no handler; dropped";
    EXPECT_NE(lines[i].find(expected), std::string::npos) << lines[i];
  }

  // Once plugged in, the entry runs.
  bool ran = false;
  worker.SetHandler(WorkerCommand::UpdateSoftware, [&ran](const StopToken&) { ran = true; });
  EXPECT_EQ(worker.Dispatch(7), CommandResult::kRan);
  EXPECT_TRUE(ran);
}

TEST(WorkerTest, AppendsFromManyThreadsAreNeverLost) {
  constexpr int kThreads = 4;
  constexpr int kEach = 2000;
  std::atomic<int> ran[kThreads] = {};
  Worker worker;
  for (int t = 0; t < kThreads; ++t) {
    worker.SetHandler(static_cast<WorkerCommand>(3 + t), [&ran, t](const StopToken&) { ++ran[t]; });
  }
  std::atomic<int> idle{0};
  worker.SetIdleStep([&idle](const StopToken&) { ++idle; });
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&worker, t] {
      for (int i = 0; i < kEach; ++i) worker.Append(3 + t);
    });
  }
  // This thread takes from the front while the others append at the back.
  const auto total = [&] {
    int sum = 0;
    for (auto& r : ran) sum += r;
    return sum;
  };
  const auto deadline = Clock::now() + 30s;
  while (total() < kThreads * kEach && Clock::now() < deadline) worker.Run();
  for (auto& p : producers) p.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(ran[t], kEach) << "producer " << t;
  EXPECT_EQ(worker.QueuedCount(), 0u);
}

TEST(WorkerTest, AppendsWhileTheThreadRunsAllRun) {
  constexpr int kThreads = 4;
  constexpr int kEach = 25;  // each command is followed by the 16 ms period
  std::atomic<int> refreshes{0};
  Worker worker;
  worker.SetHandler(WorkerCommand::RefreshDevices, [&](const StopToken&) { ++refreshes; });
  worker.SetIdleStep([](const StopToken& stop) { stop.SleepFor(5ms); });
  ASSERT_TRUE(worker.Start());
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&worker] {
      for (int i = 0; i < kEach; ++i) {
        worker.Append(WorkerCommand::RefreshDevices);
        std::this_thread::sleep_for(1ms);
      }
    });
  }
  for (auto& p : producers) p.join();
  EXPECT_TRUE(WaitUntil([&] { return refreshes == kThreads * kEach; }, 30s));
  EXPECT_TRUE(worker.Stop());
  EXPECT_EQ(refreshes, kThreads * kEach);
}

// The owner of a worker whose step goes on using the owner's state after a long block.
struct Owner {
  std::vector<int> touched;  // used by the step when its block ends
  Worker worker;             // declared last: destroyed (and joined) first
};

TEST(WorkerTest, StopIsBoundedAndTheOwnerOutlivesAHangingStep) {
  std::atomic<bool> entered{false}, done{false};
  auto owner = std::make_unique<Owner>();
  Owner* raw = owner.get();
  owner->worker.SetHandler(WorkerCommand::RefreshDevices, [&, raw](const StopToken&) {
    entered = true;
    std::this_thread::sleep_for(2500ms);  // ignores the stop
    raw->touched.push_back(1);            // a write into freed memory if the owner went first
    done = true;
  });
  owner->worker.Append(WorkerCommand::RefreshDevices);
  ASSERT_TRUE(owner->worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));

  const auto t0 = Clock::now();
  EXPECT_FALSE(owner->worker.Stop());
  const double stop_took = Seconds(Clock::now() - t0);
  EXPECT_GE(stop_took, 0.9);
  EXPECT_LT(stop_took, 2.0);
  EXPECT_FALSE(owner->worker.IsRunning());
  EXPECT_FALSE(done);
  EXPECT_FALSE(owner->worker.Start());  // the earlier step still runs: no second thread

  owner.reset();  // waits for the step instead of freeing what it uses
  EXPECT_TRUE(done);
}

TEST(WorkerTest, RestartAfterAHangingStepHasEnded) {
  std::atomic<int> steps{0};
  std::atomic<bool> entered{false}, release{false};
  Worker worker;
  worker.SetHandler(WorkerCommand::CheckFirmware, [&](const StopToken&) {
    entered = true;
    while (!release) std::this_thread::sleep_for(1ms);
  });
  worker.SetIdleStep([&](const StopToken& stop) {
    ++steps;
    stop.SleepFor(10ms);
  });
  worker.Append(WorkerCommand::CheckFirmware);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
  EXPECT_FALSE(worker.Stop(50ms));
  EXPECT_FALSE(worker.Start());
  release = true;
  ASSERT_TRUE(WaitUntil([&] { return worker.IsFinished(); }));
  EXPECT_EQ(steps, 0);  // the stop ended the run after the hanging command
  ASSERT_TRUE(worker.Start());
  EXPECT_TRUE(WaitUntil([&] { return steps > 0; }));
  EXPECT_TRUE(worker.Stop());
  EXPECT_TRUE(worker.Stop());  // a second stop has nothing to do
}

TEST(WorkerTest, StopReachesLongWorkThroughTheTokenAndTheHooks) {
  // A download-like loop that polls its own running flag, as the update code's fetcher and
  // downloader do, and a check that polls the token.
  std::atomic<bool> downloader_running{false};
  std::atomic<bool> download_ended{false}, check_ended{false};
  Worker worker;
  worker.AddStopHook([&] { downloader_running = false; });
  worker.SetHandler(WorkerCommand::UpdateFirmware, [&](const StopToken&) {
    downloader_running = true;
    const auto deadline = Clock::now() + 30s;
    while (downloader_running && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
    download_ended = true;
  });
  worker.Append(WorkerCommand::UpdateFirmware);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return downloader_running.load(); }));
  auto t0 = Clock::now();
  EXPECT_TRUE(worker.Stop());
  EXPECT_LT(Seconds(Clock::now() - t0), 0.5);
  EXPECT_TRUE(download_ended);

  std::atomic<bool> checking{false};
  worker.SetHandler(WorkerCommand::CheckSoftware, [&](const StopToken& stop) {
    checking = true;
    while (!stop.StopRequested()) std::this_thread::sleep_for(5ms);
    check_ended = true;
  });
  worker.Append(WorkerCommand::CheckSoftware);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(WaitUntil([&] { return checking.load(); }));
  t0 = Clock::now();
  EXPECT_TRUE(worker.Stop());
  EXPECT_LT(Seconds(Clock::now() - t0), 0.5);
  EXPECT_TRUE(check_ended);
}

TEST(WorkerTest, AFailingStepDoesNotEndTheThread) {
  std::atomic<int> after{0};
  Worker worker;
  worker.SetHandler(WorkerCommand::CheckSoftware,
                    [](const StopToken&) { throw std::runtime_error("no network"); });
  worker.SetHandler(WorkerCommand::RefreshDevices, [&](const StopToken&) { ++after; });
  worker.Append(WorkerCommand::CheckSoftware);
  worker.Append(WorkerCommand::RefreshDevices);
  ASSERT_TRUE(worker.Start());
  EXPECT_TRUE(WaitUntil([&] { return after == 1; }));
  EXPECT_TRUE(worker.Stop());
}

}  // namespace
}  // namespace calorix
