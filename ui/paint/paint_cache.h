// PaintCache: what one paint pass of a window keeps for the next one.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "ui/core/geometry.h"
#include "ui/core/win_handles.h"

namespace Zentu {

// The off-screen surface, the background as it was drawn onto a blank surface, and the
// GDI+ objects of the overlays. Owned by a paint manager, made by a paint pass (GDI+ runs
// then) and used on the window's thread. A pass drawn through it leaves exactly the pixels of
// a pass that makes everything anew.
class PaintCache {
 public:
  PaintCache();
  PaintCache(const PaintCache&) = delete;
  PaintCache& operator=(const PaintCache&) = delete;

  // Keeps the surface while its size stays; otherwise makes a new blank one (compatible with
  // `like`) and forgets the background. False when it cannot be made.
  bool PrepareSurface(HDC like, int width, int height);
  HDC dc() const { return dc_.get(); }
  // Bottom-up rows of B, G, R, A bytes.
  BYTE* bits() const { return reinterpret_cast<BYTE*>(pixels_); }
  int width() const { return width_; }
  int height() const { return height_; }
  // Makes the surface blank for drawing on, unless nothing was drawn on it since it was made
  // (a new DIB section is all zero).
  void ClearSurface();

  // The background, copied from the surface right after it was drawn onto a blank one.
  bool HasBackground() const { return !background_.empty(); }
  void KeepBackground();
  // Puts the kept background back where the pass before drew over it (everywhere when that
  // is not known).
  void RestoreBackground();
  // Where this pass draws over the background, for the next RestoreBackground.
  void NoteDrawn(const std::vector<CRect>& areas);
  void DiscardBackground();
  // Some background pixel has alpha 0 but a colour: the alpha repair must see all of them.
  bool BackgroundNeedsRepair() const { return background_repair_; }

  // The part of the surface that differs from what the window shows (all of it when that is
  // not known); from then on the surface counts as shown.
  CRect TakeUnpresented();
  // The window may no longer show the surface last presented: the next present is whole.
  void ForgetPresented() { presented_.clear(); }

  // The overlays' GDI+ objects. Brush and pen take their colour before each use.
  Gdiplus::Font* Font(Gdiplus::FontFamily* family, float pixels);
  Gdiplus::SolidBrush& Brush(Gdiplus::ARGB color);
  Gdiplus::Pen& Pen(Gdiplus::ARGB color);
  // Centred both ways without wrapping: the temperature text.
  const Gdiplus::StringFormat& CentredFormat() const { return centred_; }
  // Centred vertically, `horizontal` along the line: the message text.
  const Gdiplus::StringFormat& MessageFormat(Gdiplus::StringAlignment horizontal);
  // The fonts were made from families that are about to go.
  void DiscardFonts() {
    fonts_.clear();
    texts_ = {};
  }

  // The temperature text, kept per value as the pixels it changed in its box: drawn again in
  // the same font over the same pixels it comes out the same, and GDI+ would lay it out and
  // render its glyphs anew. PutBackText reads the box; when the pixels there are those the
  // kept texts were drawn over and `value` is among them, it puts that text back and returns
  // true. Otherwise the caller draws the text and then calls KeepText.
  bool PutBackText(int value, const Gdiplus::Font* font, const CRect& box);
  void KeepText();

 private:
  size_t PixelCount() const;
  // Where surface row y (from the top) starts: the DIB's rows run bottom-up.
  size_t RowStart(int y) const { return static_cast<size_t>(height_ - 1 - y) * width_; }
  // The pixels of `area` (within the surface), row by row from its top.
  std::vector<uint32_t> ReadArea(const CRect& area) const;
  void WriteArea(const CRect& area, const uint32_t* pixels);

  struct TextPatch {
    CRect part;  // where the text changed pixels, in surface coordinates
    std::vector<uint32_t> pixels;
  };
  struct KeptTexts {
    const Gdiplus::Font* font = nullptr;  // not owned: one of fonts_
    CRect area;                           // the text's box with a margin
    std::vector<uint32_t> under;          // the area before any of them was drawn
    std::map<int, TextPatch> drawn;       // by value
    int pending = 0;                      // the value PutBackText did not find
  };

  int width_ = 0, height_ = 0;
  uint32_t* pixels_ = nullptr;  // not owned: the DIB section's pixels
  bool blank_ = false;          // nothing drawn on the surface since it was made
  UniqueMemoryDc dc_;           // owned
  UniqueGdiObject dib_;         // owned
  UniqueSelection selected_;    // puts the DC's own bitmap back before both go
  std::vector<uint32_t> background_;
  std::vector<CRect> drawn_;         // over the background since it was kept or restored
  bool drawn_known_ = false;         // false: anything may have been drawn anywhere
  std::vector<uint32_t> presented_;  // the surface as last presented; empty: unknown
  std::vector<CRect> touched_;       // where pixels may have changed since then
  bool background_repair_ = false;
  // Keyed by family and size; a family's address is reused only after DiscardFonts.
  std::map<std::pair<const Gdiplus::FontFamily*, float>, std::unique_ptr<Gdiplus::Font>> fonts_;
  KeptTexts texts_;
  Gdiplus::StringFormat centred_;
  Gdiplus::StringFormat message_;
  Gdiplus::SolidBrush brush_;
  Gdiplus::Pen pen_;
};

}  // namespace Zentu
