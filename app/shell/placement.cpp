// Home position of the main window and the DPI rule.
#include "app/shell/placement.h"

namespace calorix {

ScreenRect HomeRect(const ScreenRect& work_area) {
  return {work_area.right - 343, work_area.bottom - 253, work_area.right - 3, work_area.bottom - 3};
}

bool NeedsDpiAwareness(int screen_width, int screen_height) {
  return screen_width < 1400 || screen_height < 800;
}

}  // namespace calorix
