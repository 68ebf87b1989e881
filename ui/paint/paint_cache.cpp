// PaintCache: the kept surface, background and overlay objects of a paint manager.
#include "ui/paint/paint_cache.h"

#include <cstring>
#include <utility>

#include "ui/paint/mrender.h"
#include "ui/paint/paint_math.h"

namespace Zentu {

PaintCache::PaintCache() : brush_(Gdiplus::Color()), pen_(Gdiplus::Color(), 1.0f) {
  centred_.SetAlignment(Gdiplus::StringAlignmentCenter);
  centred_.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  centred_.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  message_.SetLineAlignment(Gdiplus::StringAlignmentCenter);
}

bool PaintCache::PrepareSurface(HDC like, int width, int height) {
  if (pixels_ && width == width_ && height == height_) return true;
  DiscardBackground();
  ForgetPresented();
  selected_.reset();
  dib_.reset();
  pixels_ = nullptr;
  width_ = height_ = 0;
  if (!dc_) dc_.reset(MRender::CreateCompatibleDC(like));
  BYTE* bits = nullptr;
  if (dc_) dib_.reset(MRender::CreateARGB32Bitmap(like, width, height, &bits));
  if (!dib_ || bits == nullptr) {
    dib_.reset();
    return false;
  }
  selected_ = SelectInto(dc_.get(), dib_.get());
  pixels_ = reinterpret_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  blank_ = true;
  return true;
}

size_t PaintCache::PixelCount() const { return static_cast<size_t>(width_) * height_; }

std::vector<uint32_t> PaintCache::ReadArea(const CRect& area) const {
  std::vector<uint32_t> pixels;
  pixels.reserve(static_cast<size_t>(area.Width()) * area.Height());
  for (int y = area.top; y < area.bottom; ++y) {
    const uint32_t* row = pixels_ + RowStart(y) + area.left;
    pixels.insert(pixels.end(), row, row + area.Width());
  }
  return pixels;
}

void PaintCache::WriteArea(const CRect& area, const uint32_t* pixels) {
  for (int y = area.top; y < area.bottom; ++y, pixels += area.Width())
    std::memcpy(pixels_ + RowStart(y) + area.left, pixels, area.Width() * sizeof(uint32_t));
}

void PaintCache::ClearSurface() {
  if (!blank_) paint_math::ClearPixels(bits(), width_, height_, CRect(0, 0, width_, height_));
  blank_ = false;  // the caller draws on it now
  touched_.assign(1, CRect(0, 0, width_, height_));
}

void PaintCache::KeepBackground() {
  ::GdiFlush();  // the background was drawn through the DC
  background_.assign(pixels_, pixels_ + PixelCount());
  background_repair_ = paint_math::NeedsAlphaRepair(background_.data(), background_.size());
  drawn_.clear();
  drawn_known_ = true;
}

void PaintCache::RestoreBackground() {
  ::GdiFlush();  // nothing queued for the DC may land on the restored pixels
  if (!drawn_known_) {
    std::memcpy(pixels_, background_.data(), PixelCount() * sizeof(uint32_t));
    touched_.assign(1, CRect(0, 0, width_, height_));
  } else {
    for (const CRect& area : drawn_) {
      const CRect part = paint_math::ClipToSurface(area, width_, height_);
      touched_.push_back(part);
      for (int y = part.top; y < part.bottom; ++y) {
        const size_t at = RowStart(y) + part.left;
        std::memcpy(pixels_ + at, background_.data() + at, part.Width() * sizeof(uint32_t));
      }
    }
  }
  drawn_.clear();
  drawn_known_ = true;
  blank_ = false;
}

void PaintCache::NoteDrawn(const std::vector<CRect>& areas) {
  // With a margin: a one-pixel line along a box's right or bottom edge, or an antialiased
  // edge, lies just outside the box.
  for (CRect area : areas) {
    area.InflateRect(2, 2);
    drawn_.push_back(area);
    touched_.push_back(paint_math::ClipToSurface(area, width_, height_));
  }
}

void PaintCache::DiscardBackground() {
  texts_ = {};
  background_.clear();
  background_.shrink_to_fit();
  background_repair_ = false;
  drawn_.clear();
  drawn_known_ = false;
}

CRect PaintCache::TakeUnpresented() {
  const CRect whole(0, 0, width_, height_);
  const std::vector<CRect> touched = std::exchange(touched_, {});
  if (presented_.size() != PixelCount()) {
    presented_.assign(pixels_, pixels_ + PixelCount());
    return whole;
  }
  // Only where this pass or the one before drew can the surface differ from what was shown.
  CRect changed;
  for (const CRect& area : touched) {
    const size_t span_bytes = static_cast<size_t>(area.Width()) * sizeof(uint32_t);
    for (int y = area.top; y < area.bottom; ++y) {
      const uint32_t* now = pixels_ + RowStart(y);
      uint32_t* shown = presented_.data() + RowStart(y);
      if (std::memcmp(now + area.left, shown + area.left, span_bytes) == 0) continue;
      int left = area.left, right = area.right;
      while (now[left] == shown[left]) ++left;
      while (now[right - 1] == shown[right - 1]) --right;
      std::memcpy(shown + left, now + left, static_cast<size_t>(right - left) * sizeof(uint32_t));
      changed |= CRect(left, y, right, y + 1);
    }
  }
  return changed;
}

bool PaintCache::PutBackText(int value, const Gdiplus::Font* font, const CRect& box) {
  // The same margin as NoteDrawn's: an antialiased edge may lie just outside the box.
  CRect area = box;
  area.InflateRect(2, 2);
  area = paint_math::ClipToSurface(area, width_, height_);
  ::GdiFlush();
  std::vector<uint32_t> under = ReadArea(area);
  if (font != texts_.font || area != texts_.area || under != texts_.under)
    texts_ = {font, area, std::move(under), {}, 0};
  const auto kept = texts_.drawn.find(value);
  if (kept == texts_.drawn.end()) {
    texts_.pending = value;
    return false;
  }
  WriteArea(kept->second.part, kept->second.pixels.data());
  return true;
}

void PaintCache::KeepText() {
  // A day's range of temperatures; past it the kept texts start over.
  constexpr size_t kKeptTexts = 64;
  ::GdiFlush();
  const CRect& area = texts_.area;
  const std::vector<uint32_t> drawn = ReadArea(area);
  const CRect part = paint_math::DifferingPart(texts_.under.data(), drawn.data(), area);
  if (texts_.drawn.size() == kKeptTexts) texts_.drawn.clear();
  texts_.drawn[texts_.pending] = {part, ReadArea(part)};
}

Gdiplus::Font* PaintCache::Font(Gdiplus::FontFamily* family, float pixels) {
  if (family == nullptr) return nullptr;
  std::unique_ptr<Gdiplus::Font>& slot = fonts_[{family, pixels}];
  if (!slot)
    slot = std::make_unique<Gdiplus::Font>(family, pixels, Gdiplus::FontStyleRegular,
                                           Gdiplus::UnitPixel);
  return slot.get();
}

Gdiplus::SolidBrush& PaintCache::Brush(Gdiplus::ARGB color) {
  brush_.SetColor(Gdiplus::Color(color));
  return brush_;
}

Gdiplus::Pen& PaintCache::Pen(Gdiplus::ARGB color) {
  pen_.SetColor(Gdiplus::Color(color));
  return pen_;
}

const Gdiplus::StringFormat& PaintCache::MessageFormat(Gdiplus::StringAlignment horizontal) {
  message_.SetAlignment(horizontal);
  return message_;
}

}  // namespace Zentu
