// Small codes shared by the library's drawing, fonts and controls.
#pragma once

namespace Zentu {

// Horizontal alignment codes; the values are the platform's DT_LEFT, DT_CENTER, DT_RIGHT.
enum : unsigned {
  kAlignLeft = 0,
  kAlignCenter = 1,
  kAlignRight = 2,
};

// Vertical alignment codes; the values are DT_TOP, DT_VCENTER, DT_BOTTOM. Any other value
// counts as top (and any other horizontal value as left) where a code is interpreted.
enum : unsigned {
  kAlignTop = 0,
  kAlignVCenter = 4,
  kAlignBottom = 8,
};

// How a dialog's background image is drawn; any other value draws no background image.
enum enumBackMode : int {
  BackModeStretch = 0,  // stretched over the client area
  BackModeFrame = 1,    // nine-part frame with a corner size (default 4)
};

// Corner size of the nine-part background frame when none is given.
inline constexpr int kDefaultFrameCorner = 4;

}  // namespace Zentu
