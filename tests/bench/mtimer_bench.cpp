// The M timer's tick jitter: a control ticked every 16 ms for 10 s (prints figures).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ui/controls/mcontrol.h"
#include "ui/paint/paint_manager.h"

namespace {

// Records the time of every tick; the M timer thread is its only writer.
class Stamper : public Zentu::MControl {
 public:
  explicit Stamper(size_t capacity) : MControl(nullptr, 1, Zentu::CRect(), 1, 1, 1) {
    stamps_.resize(capacity);
  }
  void DrawControl(HDC&, Zentu::CRect) override {}
  int OnControlTimer() override {
    const size_t i = count_.load(std::memory_order_relaxed);
    if (i < stamps_.size()) ::QueryPerformanceCounter(&stamps_[i]);
    count_.store(i + 1, std::memory_order_release);
    return 0;
  }
  std::vector<double> Intervals() const {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const size_t n = std::min(count_.load(std::memory_order_acquire), stamps_.size());
    std::vector<double> ms;
    for (size_t i = 1; i < n; ++i)
      ms.push_back(1000.0 * static_cast<double>(stamps_[i].QuadPart - stamps_[i - 1].QuadPart) /
                   static_cast<double>(frequency.QuadPart));
    return ms;
  }

 private:
  std::vector<LARGE_INTEGER> stamps_;
  std::atomic<size_t> count_{0};
};

}  // namespace

int main() {
  constexpr UINT kPeriod = 16;
  constexpr DWORD kRun = 10000;
  Stamper stamper(2 * kRun / kPeriod);
  {
    Zentu::PaintManager pm;
    pm.AddMTimer(&stamper);
    pm.SetMTimer(kPeriod);
    if (pm.GetMTimerID() == 0) {
      std::printf("the platform refused the multimedia timer\n");
      return 1;
    }
    ::Sleep(kRun);
    pm.KillMTimer();
    pm.DeleteFSTimer(&stamper);
  }
  std::vector<double> ms = stamper.Intervals();
  if (ms.size() < 2) {
    std::printf("too few ticks: %zu\n", ms.size());
    return 1;
  }
  double sum = 0, squares = 0;
  std::vector<double> off;
  for (double t : ms) {
    sum += t;
    squares += t * t;
    off.push_back(std::fabs(t - kPeriod));
  }
  const double mean = sum / ms.size();
  std::sort(ms.begin(), ms.end());
  std::sort(off.begin(), off.end());
  std::printf("M timer, period %u ms, %lu ms run: %zu ticks (%.1f expected)\n", kPeriod, kRun,
              ms.size() + 1, static_cast<double>(kRun) / kPeriod);
  std::printf("  interval: mean %.3f ms  sd %.3f ms  min %.3f ms  median %.3f ms  max %.3f ms\n",
              mean, std::sqrt(std::max(0.0, squares / ms.size() - mean * mean)), ms.front(),
              ms[ms.size() / 2], ms.back());
  std::printf(
      "  |interval - %u|: mean %.3f ms  p95 %.3f ms  p99 %.3f ms  max %.3f ms\n", kPeriod,
      [&] {
        double s = 0;
        for (double o : off) s += o;
        return s / off.size();
      }(),
      off[off.size() * 95 / 100], off[off.size() * 99 / 100], off.back());
  return 0;
}
