// Windows-free placement of the bubble tip: its types, modes and the placement table.
#include "ui/core/airbladder_math.h"

namespace Zentu {

int CountLines(const wchar_t* text) {
  int lines = 1;
  for (const wchar_t* c = text; c && *c; ++c) lines += *c == L'\n';
  return lines;
}

AirBladderLayout PlaceAirBladder(int mode, CPoint point, int tw, int th, int lines) {
  const int x = point.x, y = point.y, e = lines * th;
  AirBladderLayout layout{CRect(), lines, lines == 1 || mode == AirBladderModeAbove};
  switch (mode) {
    case AirBladderModeRight:
      layout.rect = CRect(x, y - e / 2 - 10, x + tw + 40, y - e / 2 + e + 10);
      break;
    case AirBladderModeLeft:
      layout.rect = CRect(x - tw - 40, y - 27, x, y + e - 7);
      break;
    case AirBladderModeBelow:
      layout.rect = CRect(x - 25, y, x + tw + 15, y + e + 30);
      break;
    case AirBladderModeAbove:
      layout.rect = CRect(x - (tw + 30) / 2, y - e - 20, x - (tw + 30) / 2 + tw + 30, y);
      break;
    case AirBladderModeKeep:
      layout.rect = CRect(x, y - 10, x + tw + 40, y + e - 45);
      layout.lines -= 2;
      break;
    default:
      break;
  }
  return layout;
}

}  // namespace Zentu
