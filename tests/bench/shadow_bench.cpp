// Times MakeShadow for a 340 x 250 window at size 10, sharpness 5 (prints figures). Under
// Windows it also times a whole shadow redraw: region, pixels and UpdateLayeredWindow.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "ui/core/shadow_math.h"
#if defined(_WIN32)
#include "tests/win/paint_test_support.h"
#include "ui/core/manager.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

void Report(const char* what, int runs, const std::function<void()>& run) {
  for (int i = 0; i < 10; ++i) run();  // warm-up
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    run();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double t : ms) sum += t;
  std::printf("%s, %d runs: mean %.3f ms  median %.3f ms  p95 %.3f ms  best %.3f ms\n", what, runs,
              sum / runs, ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.front());
}

void Arithmetic() {
  using namespace Zentu::shadow_math;
  Settings s;
  s.size = 10;
  s.sharpness = 5;
  const auto lines = ExtentsFromRects({Zentu::CRect(0, 0, 340, 250)}, 340, 250);
  std::vector<uint32_t> pixels(360 * 270);
  Report("MakeShadow 340 x 250, size 10, sharpness 5 (clear + compute)", 500, [&] {
    std::fill(pixels.begin(), pixels.end(), 0u);
    MakeShadow(pixels.data(), 340, lines, s);
  });
}

#if defined(_WIN32)
void WholeRedraw() {
  Zentu::Manager::SetInstance(::GetModuleHandleW(nullptr));
  paint_test::HostWindow host;
  if (!host.Open(100, 100, 340, 250, true)) {
    std::printf("no window (is DISPLAY set?)\n");
    return;
  }
  ::SetWindowRgn(host.hwnd(), ::CreateRectRgn(0, 0, 340, 250), TRUE);
  host.pm.CreateShadow(1, false);
  host.pm.SetSize(10);
  unsigned darkness = 150;
  // Every accepted setting redraws a shown shadow.
  Report("shadow redraw 340 x 250 (region, MakeShadow, UpdateLayeredWindow)", 300,
         [&] { host.pm.SetDarkness(darkness ^= 1); });
}
#endif

}  // namespace

int main() {
  Arithmetic();
#if defined(_WIN32)
  Zentu::Manager::InitGdiplus();
  WholeRedraw();
  Zentu::Manager::UnInitGdiplus();
#endif
  return 0;
}
