// Drawing tests' helpers: an off-screen 32-bit surface whose pixels can be read back.
#pragma once

#include "ui/paint/mrender.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "ui/core/win_handles.h"

namespace render_test {

// A memory DC with a bottom-up 32-bit DIB section selected, cleared to 0.
class Surface {
 public:
  Surface(int width, int height) : width_(width), height_(height) {
    dc_.reset(Zentu::MRender::CreateCompatibleDC(nullptr));
    bitmap_.reset(Zentu::MRender::CreateARGB32Bitmap(dc_.get(), width, height, &bits_));
    selection_ = Zentu::SelectInto(dc_.get(), bitmap_.get());
  }
  bool ok() const { return dc_ && bitmap_ && bits_; }
  HDC dc() const { return dc_.get(); }
  HBITMAP bitmap() const { return static_cast<HBITMAP>(bitmap_.get()); }
  int width() const { return width_; }
  int height() const { return height_; }

  // The pixel at (x, y) counted from the top-left, as 0xAARRGGBB.
  uint32_t At(int x, int y) const {
    ::GdiFlush();
    const auto* rows = reinterpret_cast<const uint32_t*>(bits_);
    return rows[size_t(height_ - 1 - y) * width_ + x];
  }
  uint32_t Rgb(int x, int y) const { return At(x, y) & 0x00FFFFFFu; }
  void Fill(uint32_t argb) {
    ::GdiFlush();
    auto* p = reinterpret_cast<uint32_t*>(bits_);
    for (int i = 0; i < width_ * height_; ++i) p[i] = argb;
  }

 private:
  int width_, height_;
  BYTE* bits_ = nullptr;              // not owned: the DIB section's memory
  Zentu::UniqueMemoryDc dc_;          // owned
  Zentu::UniqueGdiObject bitmap_;     // owned
  Zentu::UniqueSelection selection_;  // restores the DC's first bitmap before both go
};

inline int Red(uint32_t c) { return (c >> 16) & 0xFF; }
inline int Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int Blue(uint32_t c) { return c & 0xFF; }

// Colour channels within `tolerance` of each other (alpha not compared).
inline ::testing::AssertionResult RgbNear(uint32_t actual, uint32_t expected, int tolerance) {
  if (std::abs(Red(actual) - Red(expected)) <= tolerance &&
      std::abs(Green(actual) - Green(expected)) <= tolerance &&
      std::abs(Blue(actual) - Blue(expected)) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << std::hex << "0x" << (actual & 0xFFFFFF) << " is not near 0x" << (expected & 0xFFFFFF);
}

}  // namespace render_test
