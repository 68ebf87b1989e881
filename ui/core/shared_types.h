// Small codes and value types shared by the library's drawing, fonts and controls.
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

// How long a bubble tip stays: 4 until hidden; any other value hides itself after a while.
enum AIRBLADDER_TYPE : int {
  AirBladderTypeTimed = 1,
  AirBladderTypeStay = 4,
};

// Where the bubble sits relative to its point; mode 5 also survives losing the focus.
enum AIRBLADDER_MODE : int {
  AirBladderModeRight = 1,
  AirBladderModeLeft = 2,
  AirBladderModeBelow = 3,
  AirBladderModeAbove = 4,
  AirBladderModeKeep = 5,
};

// A coordinate anchored inside a span: kind 0 from an edge, 1 from the middle, 2 percentage.
struct FS_POSITION_ITEM {
  int anchor = 0;     // 0 edge, 1 middle, 2 percentage; anything else places at 0
  int from_far = 0;   // measure from the far edge (kinds 0 and 1)
  float value = 0.f;  // pixels (kinds 0 and 1) or percent of the span (kind 2)
};

}  // namespace Zentu
