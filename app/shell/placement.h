// Where the main window lives and when the process declares itself DPI-aware.
#pragma once

namespace calorix {

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const ScreenRect&) const = default;
};

inline constexpr int kMainWindowWidth = 340;
inline constexpr int kMainWindowHeight = 250;

// The 340 x 250 window 3 pixels from the right and bottom edges of the work area.
ScreenRect HomeRect(const ScreenRect& work_area);

// Screens narrower than 1400 or lower than 800 pixels (as an unaware process reads them, so
// after scaling) get a DPI-aware process: the skin is drawn 1:1 there.
bool NeedsDpiAwareness(int screen_width, int screen_height);

}  // namespace calorix
