// Windows-free arithmetic of the control base: anchored positions and repaint rectangles.
#pragma once

#include "ui/core/geometry.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// The coordinate `item` names between low and high. Results that would leave the 32-bit
// range are clamped to it, and a value that is not a number counts as 0.
ZENTU_API int PositionItem2Value(const FS_POSITION_ITEM& item, int low, int high);

// What a move from `before` to `after` must repaint: the union of both rectangles, or
// whichever of them is not empty.
ZENTU_API CRect MoveRepaintRect(const CRect& before, const CRect& after);

}  // namespace Zentu
