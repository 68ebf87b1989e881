// Windows-free placement of the bubble tip: its types, modes and the placement table.
#pragma once

#include "ui/core/geometry.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// The bubble's window rectangle and how its text is laid out.
struct AirBladderLayout {
  CRect rect;    // screen coordinates; empty at (0, 0) for an unknown mode
  int lines;     // line count used to lay the text out (mode 5 counts two fewer)
  bool centred;  // a single line, or mode 4, is centred both ways
};

// 1 + the number of line feeds.
ZENTU_API int CountLines(const wchar_t* text);

// The placement table for text `text_width` wide in `lines` lines of `line_height`,
// placed against `point` (integer divisions).
ZENTU_API AirBladderLayout PlaceAirBladder(int mode, CPoint point, int text_width, int line_height,
                                           int lines);

}  // namespace Zentu
