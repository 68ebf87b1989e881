// Painter: how a paint manager's pass runs, what it keeps for the next one and how it presents.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <functional>
#include <memory>
#include <vector>

#include "ui/core/geometry.h"

namespace Zentu {

class PaintCache;
class PaintWindow;

// UI thread only. The owner says what is drawn (the scene); the painter runs the pass on an
// off-screen surface, keeps the surface, the drawn background and the temperature text for
// the next pass while its cache is on, repairs the alpha GDI leaves and hands the surface over.
class Painter {
 public:
  using SurfaceHook = void (*)(void* context, const BYTE* bits, int width, int height);
  using StepHook = void (*)(void* context, int step);
  // What a pass draws, in this order. `drawn` gathers where each part may have drawn.
  struct Scene {
    // Onto a blank surface; kept, not drawn again, while the cache is on.
    std::function<void(Gdiplus::Graphics* graphics, const CRect& client)> background;
    // With GDI (which leaves alpha 0 on a layered window) within `clip`.
    std::function<void(HDC dc, const CRect& clip, std::vector<CRect>& drawn)> controls;
    // With GDI+, over everything else.
    std::function<void(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client,
                       std::vector<CRect>& drawn)>
        overlays;
  };

  Painter(const PaintWindow& window, Scene scene);
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;
  ~Painter();

  // 0 nothing to paint, 1 minimised, 2 painted.
  int Render();
  void SetSurfaceHook(SurfaceHook hook, void* context) {
    surface_hook_ = hook;
    surface_hook_context_ = context;
  }
  void SetStepHook(StepHook hook, void* context) {
    step_hook_ = hook;
    step_hook_context_ = context;
  }
  void EndStep(int step) const {
    if (step_hook_) step_hook_(step_hook_context_, step);
  }

  void EnableCache(int enable);
  int IsCacheOn() const { return cache_on_; }
  // Lets everything kept go, as the window does.
  void DropCache();
  // What lies beneath the controls changed.
  void DiscardBackground();
  // The font families the cache's fonts were made from are about to go.
  void DiscardFonts();
  // Shown again, moved, resized or restyled, the window may have dropped (or never shown)
  // the layered picture it was given last.
  void OnWindowMessage(UINT msg);

  // The temperature text centred in `box`: put back when the cache kept it, else drawn.
  void DrawNumber(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& box, int value,
                  Gdiplus::Font* font);

 private:
  void DrawSurface(PaintCache& cache, const CRect& client, const CRect& update);
  void RepairDrawnAlpha(PaintCache& cache, const std::vector<CRect>& drawn);
  void Present(PaintCache& cache, HDC window_dc, HDC paint_dc, const CRect& update);

  const PaintWindow& window_;
  Scene scene_;
  SurfaceHook surface_hook_ = nullptr;
  void* surface_hook_context_ = nullptr;  // not owned
  StepHook step_hook_ = nullptr;
  void* step_hook_context_ = nullptr;  // not owned
  int cache_on_ = 1;
  std::unique_ptr<PaintCache> cache_;  // owned: made by a pass, dropped with the window
};

}  // namespace Zentu
