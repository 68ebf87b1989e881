// Times one paint pass of a 340 x 250 layered window with a few controls (prints figures).
#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/core/manager.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

struct Figures {
  double mean, median, p95, best;
};

// `discard` marks every control's cached picture stale before each pass.
Figures Measure(paint_test::HostWindow& host, int passes, bool discard) {
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  for (int i = 0; i < passes; ++i) {
    if (discard)
      for (Zentu::MControl* c : host.pm.GetControls()) c->SetUpdate(0, host.pm.GetBackColor());
    ::InvalidateRect(host.hwnd(), nullptr, FALSE);
    ::QueryPerformanceCounter(&start);
    // The pass without OnPaint's closing 15 ms pause.
    host.pm.RenderPass();
    ::QueryPerformanceCounter(&end);
    times.push_back(Milliseconds(start, end, frequency));
  }
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (double t : times) sum += t;
  return {sum / passes, times[times.size() / 2], times[times.size() * 95 / 100], times.front()};
}

}  // namespace

int main() {
  Zentu::Manager::InitGdiplus();
  {
    paint_test::HostWindow host;
    if (!host.Open(100, 100, 340, 250, true)) {
      std::printf("no window (is DISPLAY set?)\n");
      return 1;
    }
    host.pm.SetSurfaceHook(nullptr, nullptr);
    host.pm.EnableDrawInfo(1);
    Zentu::Manager::SetCPUTemp(47.9f);
    host.pm.CreateArea(&host, L"CArea", 1, Zentu::CRect(0, 0, 340, 40), L"", 1, 1);
    for (int i = 0; i < 4; ++i) {
      auto* c = new paint_test::RecordingControl(&host, 10 + i,
                                                 Zentu::CRect(20 + 75 * i, 180, 85 + 75 * i, 230));
      c->SetManager(&host.pm);
      host.pm.GetControls().push_back(c);
    }
    Measure(host, 20, false);  // warm-up: fonts, caches
    const int passes = 300;
    const Figures cached = Measure(host, passes, false);
    const Figures fresh = Measure(host, passes, true);
    std::printf(
        "paint pass, 340 x 250 layered, 1 area + 4 controls + temperature overlay, "
        "%d passes, 15 ms pause excluded\n",
        passes);
    std::printf("  cached controls:   mean %.3f ms  median %.3f ms  p95 %.3f ms  best %.3f ms\n",
                cached.mean, cached.median, cached.p95, cached.best);
    std::printf("  re-rendered:       mean %.3f ms  median %.3f ms  p95 %.3f ms  best %.3f ms\n",
                fresh.mean, fresh.median, fresh.p95, fresh.best);
  }
  Zentu::Manager::UnInitGdiplus();
  return 0;
}
