// Times the main window's paint pass and each of its steps (prints figures): 340 x 250,
// layered, the skin's background image, the close button's picture and the temperature
// overlay. Each row puts the pass that makes everything anew beside the one that reuses the
// pass before.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mpicture.h"
#include "ui/core/manager.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

struct Figures {
  double mean, median, p95, best;
};

Figures Summarise(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (double t : times) sum += t;
  return {sum / static_cast<double>(times.size()), times[times.size() / 2],
          times[times.size() * 95 / 100], times.front()};
}

using Zentu::PaintManager;

// The time each step of one pass took, told by the manager as each step ends.
struct StepClock {
  LARGE_INTEGER frequency, last;
  double spent[PaintManager::PaintStepCount];

  static void OnStep(void* context, int step) {
    auto* clock = static_cast<StepClock*>(context);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    clock->spent[step] += Milliseconds(clock->last, now, clock->frequency);
    clock->last = now;
  }
};

// A pause after each pass, not counted (--pause-ms; none by default, as the figures before
// were taken). With OnPaint's own 15 ms the X server has taken in what a pass handed over
// before the next one starts, as in the program; without it the next pass's question about
// the pointer waits for that, and wineserver is asked again before it has gone idle.
int pause_ms = 0;

// One pass and the pause after it: the pass's whole time, then each step's.
std::vector<double> TimedPass(paint_test::HostWindow& host, LARGE_INTEGER frequency) {
  StepClock clock{frequency, {}, {}};
  LARGE_INTEGER start, end;
  ::InvalidateRect(host.hwnd(), nullptr, FALSE);
  host.pm.SetStepHook(&StepClock::OnStep, &clock);
  ::QueryPerformanceCounter(&start);
  clock.last = start;
  host.pm.RenderPass();
  ::QueryPerformanceCounter(&end);
  host.pm.SetStepHook(nullptr, nullptr);
  if (pause_ms > 0) ::Sleep(pause_ms);
  std::vector<double> times{Milliseconds(start, end, frequency)};
  times.insert(times.end(), std::begin(clock.spent), std::end(clock.spent));
  return times;
}

// Column 0 is the whole pass, column 1 + s the step s.
struct Row {
  std::vector<Figures> before, after;
};

// What each pass shows: a number no pass has shown since the cache was made, one of two
// numbers both shown already (a temperature at rest), or the number of the pass before.
enum class Numbers { kNew, kShownBefore, kUnchanged };

// Both kinds of pass in alternating blocks of ten, so that both see the same load on the
// machine. The passes before a block's first (the cached pass rebuilding its caches, and
// showing both numbers of kShownBefore) are not counted.
Row Measure(paint_test::HostWindow& host, Numbers numbers, int passes) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  constexpr int kColumns = 1 + PaintManager::PaintStepCount;
  std::vector<double> times[2][kColumns];
  int value = 40;
  const auto show = [](float celsius) { Zentu::Manager::SetCPUTemp(celsius); };
  for (int done = 0; done < passes; done += 10) {
    for (int cached = 0; cached < 2; ++cached) {
      host.pm.EnablePaintCache(cached);
      TimedPass(host, frequency);
      if (numbers == Numbers::kShownBefore) {
        show(48.5f);
        TimedPass(host, frequency);
      }
      for (int i = 0; i < 10; ++i) {
        if (numbers == Numbers::kNew) show(static_cast<float>(40 + value++ % 50) + 0.5f);
        if (numbers == Numbers::kShownBefore) show(i % 2 ? 48.5f : 47.5f);
        const std::vector<double> pass = TimedPass(host, frequency);
        for (int column = 0; column < kColumns; ++column)
          times[cached][column].push_back(pass[column]);
      }
    }
  }
  Row row;
  for (int column = 0; column < kColumns; ++column) {
    row.before.push_back(Summarise(times[0][column]));
    row.after.push_back(Summarise(times[1][column]));
  }
  return row;
}

void PrintFigures(const char* name, const Figures& b, const Figures& a) {
  std::printf("  %-20s %6.3f %6.3f %6.3f %6.3f   | %6.3f %6.3f %6.3f %6.3f\n", name, b.mean,
              b.median, b.p95, b.best, a.mean, a.median, a.p95, a.best);
}

void Print(const char* name, const Row& row) {
  static const char* const kSteps[PaintManager::PaintStepCount] = {
      "begin",   "background", "controls", "alpha repair", "pointer", "text",
      "message", "flush",      "compare",  "hand-over",    "end"};
  PrintFigures(name, row.before[0], row.after[0]);
  for (int step = 0; step < PaintManager::PaintStepCount; ++step) {
    char label[32];
    std::snprintf(label, sizeof label, "  %s", kSteps[step]);
    PrintFigures(label, row.before[1 + step], row.after[1 + step]);
  }
}

// Under Wine most steps wait for wineserver, and how long one question to it takes is what
// differs most between machines: one question (GetUpdateRect without a rectangle), asked
// right after another and after 15 ms of idling, in µs.
void PrintServerQuestions(HWND window) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  const auto ask = [&] {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    ::GetUpdateRect(window, nullptr, FALSE);
    ::QueryPerformanceCounter(&end);
    return 1000.0 * Milliseconds(start, end, frequency);
  };
  std::vector<double> idle, again;
  for (int i = 0; i < 300; ++i) {
    ::Sleep(15);
    idle.push_back(ask());
    again.push_back(ask());
  }
  const Figures warm = Summarise(again), woken = Summarise(idle);
  std::printf(
      "one question to the window server (GetUpdateRect), us: right after another median %.1f, "
      "best %.1f; after 15 ms idle median %.1f, best %.1f\n",
      warm.median, warm.best, woken.median, woken.best);
}

// The main window's scene; 1 when it cannot be built here.
int Run(int passes) {
  paint_test::HostWindow host;
  if (!host.Open(100, 100, 340, 250, true)) {
    std::printf("no window (is DISPLAY set?)\n");
    return 1;
  }
  host.pm.SetSurfaceHook(nullptr, nullptr);
  host.pm.EnableDrawInfo(1);
  auto* close = static_cast<Zentu::MPicture*>(
      host.pm.CreateArea(&host, L"MPicture", 31, Zentu::CRect(295, 25, 313, 42), L"", 1, 1));
  if (!host.pm.LoadBKImage(L"img_cpu_bkg5.png") || !close ||
      !close->SetImage(L"img_btn_close.png", 1)) {
    std::printf("the skin's images are missing beside the program (skins\\theme1\\)\n");
    return 1;
  }
  Zentu::Manager::SetCPUTemp(47.9f);
  Measure(host, Numbers::kNew, 20);  // warm-up: fonts, images, caches
  std::printf(
      "main window paint pass: 340 x 250 layered, background image, close button, temperature "
      "overlay; %d passes per cell, %d ms apart (not counted); ms\n"
      "  %-20s %-30s| %s\n  %-20s %6s %6s %6s %6s   | %6s %6s %6s %6s\n",
      passes, pause_ms, "", "made anew (before)", "cached (after)", "", "mean", "median", "p95",
      "best", "mean", "median", "p95", "best");
  Print("new number", Measure(host, Numbers::kNew, passes));
  Print("number shown before", Measure(host, Numbers::kShownBefore, passes));
  Print("number unchanged", Measure(host, Numbers::kUnchanged, passes));
  PrintServerQuestions(host.hwnd());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int passes = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--passes")) passes = std::max(10, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--pause-ms")) pause_ms = std::max(0, std::atoi(argv[i + 1]));
  }
  Zentu::Manager::InitGdiplus();
  const int result = Run(passes);
  Zentu::Manager::UnInitGdiplus();
  return result;
}
