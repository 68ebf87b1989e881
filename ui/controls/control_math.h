// Windows-free arithmetic of the control base: anchored positions and repaint rectangles.
#pragma once

#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// A coordinate anchored inside a span: kind 0 from an edge, 1 from the middle, 2 percentage.
struct FS_POSITION_ITEM {
  int anchor = 0;     // 0 edge, 1 middle, 2 percentage; anything else places at 0
  int from_far = 0;   // measure from the far edge (kinds 0 and 1)
  float value = 0.f;  // pixels (kinds 0 and 1) or percent of the span (kind 2)
};

// The coordinate `item` names between low and high. Results that would leave the 32-bit
// range are clamped to it, and a value that is not a number counts as 0.
ZENTU_API int PositionItem2Value(const FS_POSITION_ITEM& item, int low, int high);

// What a move from `before` to `after` must repaint: the union of both rectangles, or
// whichever of them is not empty.
ZENTU_API CRect MoveRepaintRect(const CRect& before, const CRect& after);

}  // namespace Zentu
