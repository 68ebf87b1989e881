// Windows-free arithmetic of the paint manager: surfaces, focus order, wheel, keys, drops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ui/core/geometry.h"

namespace Zentu::paint_math {

// ---- 32-bit bottom-up B,G,R,A surfaces (row y of the picture is memory row h - 1 - y) ----

// The part of `rect` that lies on a width × height surface.
CRect ClipToSurface(const CRect& rect, int width, int height);
// Sets every pixel of `rect` to 0 (transparent black).
void ClearPixels(uint8_t* bits, int width, int height, const CRect& rect);
// GDI leaves alpha 0 where it draws: a pixel (0xAARRGGBB) with alpha 0 and some colour.
constexpr bool NeedsAlphaRepair(uint32_t pixel) { return pixel - 1u < 0x00FFFFFFu; }
// Whether any of `count` pixels needs the repair.
bool NeedsAlphaRepair(const uint32_t* pixels, size_t count);
// Every pixel of `rect` that needs it becomes opaque. Pixels that are exactly 0 stay
// transparent.
void RepairAlpha(uint8_t* bits, int width, int height, const CRect& rect);
// The smallest rectangle holding every pixel in which two copies of `area` differ (each
// copy row by row from the area's top); empty when they are the same.
CRect DifferingPart(const uint32_t* before, const uint32_t* after, const CRect& area);

// A GDI colour reference (0x00BBGGRR) as ARGB (0xAARRGGBB) with the given alpha.
constexpr uint32_t ColorRefToArgb(uint32_t colorref, uint8_t alpha) {
  return (uint32_t{alpha} << 24) | ((colorref & 0xFFu) << 16) | (colorref & 0xFF00u) |
         ((colorref >> 16) & 0xFFu);
}
// Alpha of the background fills of a layered window without a background image.
inline constexpr uint8_t kBackAlpha = 0xFE;

// ---- repaint requests ----

// A control painted after the requesting one is refreshed when it is visible and overlaps
// the request; its rect then joins the dirty rectangle.
bool JoinDirty(CRect& dirty, const CRect& request, const CRect& control_rect, bool visible);

// ---- focus order ----

// Index of the next (or previous) focusable entry after `current` (-1: no focus control),
// wrapping round to the first (last) focusable entry. `current_listed` false means the
// focus control is not in the list: no answer then. nullopt when nothing is focusable.
std::optional<int> NextFocusIndex(const std::vector<bool>& focusable, int current,
                                  bool current_listed, bool forward);

// ---- wheel and keys ----

struct WheelSteps {
  int notches;    // whole notches of 120, never negative
  int direction;  // 1 towards the user (delta 0 or less), 0 away
};
WheelSteps SplitWheelDelta(int delta);

// 18 with Alt; otherwise 16 with Shift OR 17 with Ctrl (so Ctrl+Shift gives 17); else 0.
constexpr unsigned ModifierCode(bool alt, bool shift, bool ctrl) {
  return alt ? 18u : ((shift ? 16u : 0u) | (ctrl ? 17u : 0u));
}
inline constexpr unsigned kModifierShift = 16;

// ---- drag and drop ----

// OLE's DROPEFFECT bits and MK_ key bits, as the platform defines them.
inline constexpr uint32_t kEffectCopy = 1, kEffectMove = 2, kEffectLink = 4;
inline constexpr uint32_t kKeyShift = 0x4, kKeyControl = 0x8;
// Ctrl+Shift link, Ctrl copy, Shift move; no key: copy if allowed, else move, else link.
// An effect the source does not allow gives none (0).
uint32_t ChooseDropEffect(uint32_t keys, uint32_t allowed);

// The header fields of a packed DIB (BITMAPINFOHEADER or a later version) that say how
// large the whole block must be.
struct DibHeader {
  uint32_t size;  // biSize
  int32_t width, height;
  uint16_t planes, bit_count;
  uint32_t compression, size_image, colors_used;
};
// Offset of the pixels in a packed DIB of `block_size` bytes, when the header describes a
// picture whose colour table, masks and pixels all lie inside the block; nullopt for a
// short block, a header it cannot be, or a format GDI would read beyond what it says.
std::optional<uint32_t> DibBitsOffset(const DibHeader& header, uint64_t block_size);

// True when the pointer has left the drag-threshold box around `start`.
bool DragThresholdPassed(const CPoint& start, const CPoint& now, int threshold_x, int threshold_y);

// ---- overlays ----

// The temperature as drawn by the information overlay: truncated toward zero; nothing for
// values that are not finite or beyond the range of an int.
std::optional<int> TemperatureText(float celsius);

// Frame width of an image strip; counts below 1 count as 1.
int FrameWidth(int image_width, int frame_count);

}  // namespace Zentu::paint_math
