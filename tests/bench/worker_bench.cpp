// Prints the worker's report cadence, its wake-ups while no temperature can be read, and how
// long stopping takes, against the hidapi double.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/device/device_manager.h"
#include "app/device/send_temperature.h"
#include "app/shell/worker.h"
#include "tests/doubles/hidapi_double.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Stamps {
  std::mutex lock;
  std::vector<Clock::time_point> at;
  void Add() {
    std::lock_guard<std::mutex> guard(lock);
    at.push_back(Clock::now());
  }
  std::size_t Size() {
    std::lock_guard<std::mutex> guard(lock);
    return at.size();
  }
};

void Cadence(int reports) {
  hid_double::Reset();
  hid_double::Collection display;
  display.path = "display";
  hid_double::AddCollection(display);
  calorix::DeviceManager::Instance().RefreshDevices();

  calorix::TemperatureBlock block{};
  block.cpu_temperature = 61.5f;
  Stamps stamps;
  calorix::SendTemperatureLinks links;
  links.block = [&block] { return &block; };
  links.unit_setting = [] { return 0; };
  links.set_cpu_temp = [](float) {};
  links.invalidate = [&stamps] { stamps.Add(); };  // right before the report is written

  calorix::Worker worker;
  worker.SetSendTemperature(links);
  worker.Start();
  while (stamps.Size() < static_cast<std::size_t>(reports) + 1) std::this_thread::sleep_for(5ms);
  const auto t0 = Clock::now();
  worker.Stop();
  const double stop_ms = Ms(Clock::now() - t0);

  std::vector<double> gaps;
  for (std::size_t i = 1; i <= static_cast<std::size_t>(reports); ++i)
    gaps.push_back(Ms(stamps.at[i] - stamps.at[i - 1]));
  double sum = 0;
  for (double g : gaps) sum += g;
  std::printf("report cadence over %d intervals: mean %.1f ms, min %.1f ms, max %.1f ms\n", reports,
              sum / gaps.size(), *std::min_element(gaps.begin(), gaps.end()),
              *std::max_element(gaps.begin(), gaps.end()));
  std::printf("reports written to the display: %zu\n", hid_double::FeatureWrites().size());
  std::printf("stop during the report pause: %.1f ms\n", stop_ms);
}

// CPU time of this process so far.
double ProcessCpuMs() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](FILETIME t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e4;
  };
  return ms(kernel) + ms(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](timeval t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
#endif
}

// Voluntary context switches of the calling thread (each one a sleep and a wake-up); -1
// where the system does not count them per thread.
long ThreadSwitches() {
#ifdef RUSAGE_THREAD
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
#else
  return -1;
#endif
}

struct IdleFigures {
  double looks_per_s, switches_per_s, cpu_ms_per_s;
};

// How the send loop is wired: as it was (every step, found value or not, followed by the
// 16 ms pause), or as it is, right after a server start (LookSoon) or later on.
enum class Wiring { kPolling, kAfterServerStart, kLater };

// The worker with no temperature to read (`mapped`: the block reads 0.0; else it is not
// mapped) for `seconds`.
IdleFigures Idle(bool mapped, Wiring wiring, double seconds) {
  calorix::TemperatureBlock block{};  // 0.0: no reading yet
  std::atomic<int> looks{0};
  std::atomic<long> first_switches{-1}, last_switches{-1};
  calorix::SendTemperatureLinks links;
  links.block = [&]() -> const calorix::TemperatureBlock* {
    const long switches = ThreadSwitches();  // on the worker thread
    long unset = -1;
    first_switches.compare_exchange_strong(unset, switches);
    last_switches = switches;
    ++looks;
    return mapped ? &block : nullptr;
  };
  calorix::Worker worker;
  if (wiring == Wiring::kPolling)
    worker.SetIdleStep([links](const calorix::StopToken& stop) {
      calorix::SendTemperature(links, [&stop](std::chrono::milliseconds d) { stop.SleepFor(d); });
    });
  else
    worker.SetSendTemperature(links);
  if (wiring == Wiring::kAfterServerStart) worker.LookSoon();
  const double cpu0 = ProcessCpuMs();
  const auto t0 = Clock::now();
  worker.Start();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double cpu = ProcessCpuMs() - cpu0;
  const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
  const int seen = looks;
  const long switches = last_switches - first_switches;
  worker.Stop();
  return {seen / elapsed, first_switches < 0 ? -1 : switches / elapsed, cpu / elapsed};
}

void IdleTable(double seconds) {
  const double quick_s = std::min(seconds, calorix::kQuickLookSpan.count() / 1000.0);
  std::printf(
      "worker while no temperature can be read, %.0f s each (%.0f s after a server start); per "
      "second: looks at the block, worker thread's voluntary context switches (-1: not counted "
      "here), process CPU ms\n  %-18s %-24s| %-24s| %s\n",
      seconds, quick_s, "", "polled every 16 ms", "after a server start", "later");
  for (bool mapped : {false, true}) {
    std::printf("  %-18s", mapped ? "block reads 0.0" : "block not mapped");
    for (Wiring wiring : {Wiring::kPolling, Wiring::kAfterServerStart, Wiring::kLater}) {
      const IdleFigures f =
          Idle(mapped, wiring, wiring == Wiring::kAfterServerStart ? quick_s : seconds);
      std::printf(" %7.1f %7.1f %7.2f |", f.looks_per_s, f.switches_per_s, f.cpu_ms_per_s);
    }
    std::printf("\n");
  }
}

// The owner's state lives before the worker, as in the main window.
struct Owner {
  std::vector<int> used_by_step;
  calorix::Worker worker;
};

void HangingStop(int trials, int hang_ms) {
  double longest_stop = 0, longest_destroy = 0;
  for (int t = 0; t < trials; ++t) {
    std::atomic<bool> entered{false};
    auto owner = std::make_unique<Owner>();
    Owner* raw = owner.get();
    owner->worker.SetHandler(calorix::WorkerCommand::UpdateSoftware,
                             [&entered, raw, hang_ms](const calorix::StopToken&) {
                               entered = true;
                               std::this_thread::sleep_for(std::chrono::milliseconds(hang_ms));
                               raw->used_by_step.push_back(1);
                             });
    owner->worker.Append(calorix::WorkerCommand::UpdateSoftware);
    owner->worker.Start();
    while (!entered) std::this_thread::sleep_for(1ms);
    auto t0 = Clock::now();
    owner->worker.Stop();
    longest_stop = std::max(longest_stop, Ms(Clock::now() - t0));
    t0 = Clock::now();
    owner.reset();
    longest_destroy = std::max(longest_destroy, Ms(Clock::now() - t0));
  }
  std::printf(
      "step that ignores the stop for %d ms, %d trials: longest Stop %.1f ms, "
      "longest wait in the owner's destruction %.1f ms\n",
      hang_ms, trials, longest_stop, longest_destroy);
}

}  // namespace

int main(int argc, char** argv) {
  int reports = 10, trials = 3, hang_ms = 3000;
  double idle_s = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--reports")) reports = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--trials")) trials = std::max(1, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--hang-ms")) hang_ms = std::max(0, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--idle-s")) idle_s = std::max(1, std::atoi(argv[i + 1]));
  }
  IdleTable(idle_s);
  Cadence(reports);
  HangingStop(trials, hang_ms);
  return 0;
}
