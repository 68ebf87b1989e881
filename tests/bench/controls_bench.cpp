// Prints what a paint of many areas costs with cached pictures and with every cache discarded.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

using namespace Zentu;

namespace {

double MicrosPerPass(std::vector<CArea*>& areas, HDC dc, bool discard, int passes) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < passes; ++i) {
    for (CArea* a : areas) {
      if (discard) a->SetUpdate(0, 0);
      a->Draw(dc, CRect(0, 0, 400, 300));
    }
  }
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / passes;
}

}  // namespace

int main() {
  Manager::InitGdiplus();
  HDC dc = ::CreateCompatibleDC(nullptr);
  BYTE* bits = nullptr;
  HBITMAP surface = MRender::CreateARGB32Bitmap(dc, 400, 300, &bits);
  HGDIOBJ old = ::SelectObject(dc, surface);
  MObject parent;
  for (int kind = 0; kind < 3; ++kind) {
    std::vector<CArea*> areas;
    for (int i = 0; i < 50; ++i) {
      auto* a = new CArea(&parent, i, CRect(i * 6, i * 4, i * 6 + 100, i * 4 + 60), 1, 1);
      if (kind == 1) a->SetFrame(1, Gdiplus::Color(0xFE808080), 0);
      if (kind == 2)
        a->SetTransparent(0, 80, RGB(30, 60, 90));
      else
        a->SetTransparent(0, 0, RGB(30, 60, 90));
      areas.push_back(a);
    }
    const char* names[] = {"plain", "framed", "transition"};
    MicrosPerPass(areas, dc, true, 2);  // warm-up
    std::printf("50 %s areas 100x60: cached %.0f us/pass, redrawn %.0f us/pass\n", names[kind],
                MicrosPerPass(areas, dc, false, 50), MicrosPerPass(areas, dc, true, 20));
    for (CArea* a : areas) delete a;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(surface);
  ::DeleteDC(dc);
  Manager::UnInitGdiplus();
  return 0;
}
