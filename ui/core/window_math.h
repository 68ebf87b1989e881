// Placement arithmetic of windows, free of the platform.
#pragma once

#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// Top-left corner that centres a width × height window on `centre`, then pulls it back
// inside `bounds`: at most bounds.right - width, then at least bounds.left (so a window
// larger than the bounds sticks to the left and top edges), and the same vertically.
ZENTU_API CPoint CenteredOrigin(const CRect& centre, const CRect& bounds, int width, int height);

}  // namespace Zentu
