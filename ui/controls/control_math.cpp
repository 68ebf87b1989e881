// Windows-free arithmetic of the control base: anchored positions and repaint rectangles.
#include "ui/controls/control_math.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace Zentu {
namespace {

constexpr double kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kIntMax = std::numeric_limits<int32_t>::max();

// Truncation toward zero that never leaves the int range (a plain cast of an out-of-range
// or NaN float is undefined).
int ClampToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v <= kIntMin) return std::numeric_limits<int32_t>::min();
  if (v >= kIntMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int>(v);
}

}  // namespace

int PositionItem2Value(const FS_POSITION_ITEM& item, int low, int high) {
  const double value = ClampToInt(item.value);
  switch (item.anchor) {
    case 0:
      return ClampToInt(item.from_far ? static_cast<double>(high) - value
                                      : static_cast<double>(low) + value);
    case 1: {
      const int64_t middle = int64_t{low} + (int64_t{high} - low) / 2;
      return ClampToInt(item.from_far ? double(middle) - value : double(middle) + value);
    }
    case 2: {
      if (std::isnan(item.value)) return ClampToInt(static_cast<double>(low));
      const double span = static_cast<double>(high) - static_cast<double>(low);
      const double offset = std::trunc(span * static_cast<double>(item.value) / 100.0);
      const int v = ClampToInt(static_cast<double>(low) + offset);
      return v > high ? high : v;
    }
    default:
      return 0;
  }
}

CRect MoveRepaintRect(const CRect& before, const CRect& after) {
  CRect r;
  r.UnionRect(before, after);
  return r;
}

}  // namespace Zentu
