// Placement arithmetic of windows, free of the platform.
#include "ui/core/window_math.h"

#include <cstdint>

namespace Zentu {

namespace {

int32_t CentreOnAxis(int64_t lo, int64_t hi, int64_t size, int64_t bound_lo, int64_t bound_hi) {
  int64_t pos = (lo + hi) / 2 - size / 2;
  if (pos > bound_hi - size) pos = bound_hi - size;
  if (pos < bound_lo) pos = bound_lo;
  return static_cast<int32_t>(pos);
}

}  // namespace

CPoint CenteredOrigin(const CRect& centre, const CRect& bounds, int width, int height) {
  return {CentreOnAxis(centre.left, centre.right, width, bounds.left, bounds.right),
          CentreOnAxis(centre.top, centre.bottom, height, bounds.top, bounds.bottom)};
}

}  // namespace Zentu
