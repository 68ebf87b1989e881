// CRect and CPoint: rectangles and points, layout-compatible with the platform's RECT and POINT.
#pragma once

#include <cstdint>
#include <utility>

#if defined(_WIN32)
#include <windef.h>
#endif

namespace Zentu {

namespace detail {
#if defined(_WIN32)
using RectBase = RECT;
using PointBase = POINT;
#else
// The same layout as the platform types: four (two) signed 32-bit values.
struct RectBase {
  int32_t left, top, right, bottom;
};
struct PointBase {
  int32_t x, y;
};
#endif
static_assert(sizeof(RectBase) == 16 && sizeof(PointBase) == 8);
static_assert(sizeof(RectBase::left) == 4 && sizeof(PointBase::x) == 4);

// Differences in 64 bits, then wrapped to 32 like the platform's own arithmetic, so
// extreme coordinates never overflow a signed int.
constexpr int32_t Diff(int64_t a, int64_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(a - b)));
}
constexpr int32_t Sum(int64_t a, int64_t b) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(a + b)));
}
}  // namespace detail

class CPoint : public detail::PointBase {
 public:
  using PointBase = detail::PointBase;
  constexpr CPoint() noexcept : PointBase{0, 0} {}
  constexpr CPoint(int32_t px, int32_t py) noexcept : PointBase{px, py} {}
  constexpr CPoint(const PointBase& p) noexcept : PointBase{p} {}

  constexpr void SetPoint(int32_t px, int32_t py) noexcept { x = px, y = py; }
  constexpr void Offset(int32_t dx, int32_t dy) noexcept {
    x = detail::Sum(x, dx);
    y = detail::Sum(y, dy);
  }
  constexpr void Offset(const PointBase& d) noexcept { Offset(d.x, d.y); }

  constexpr bool operator==(const CPoint& o) const noexcept { return x == o.x && y == o.y; }
  constexpr bool operator!=(const CPoint& o) const noexcept { return !(*this == o); }
  constexpr CPoint operator+(const CPoint& o) const noexcept {
    return {detail::Sum(x, o.x), detail::Sum(y, o.y)};
  }
  constexpr CPoint operator-(const CPoint& o) const noexcept {
    return {detail::Diff(x, o.x), detail::Diff(y, o.y)};
  }
};

// left, top, right, bottom; right and bottom are exclusive (width = right - left).
class CRect : public detail::RectBase {
 public:
  using RectBase = detail::RectBase;
  using PointBase = detail::PointBase;
  constexpr CRect() noexcept : RectBase{0, 0, 0, 0} {}
  constexpr CRect(int32_t l, int32_t t, int32_t r, int32_t b) noexcept : RectBase{l, t, r, b} {}
  constexpr CRect(const RectBase& r) noexcept : RectBase{r} {}
  constexpr CRect(const CPoint& top_left, const CPoint& bottom_right) noexcept
      : RectBase{top_left.x, top_left.y, bottom_right.x, bottom_right.y} {}

  // Lets a CRect go where the platform wants a RECT pointer, as MFC's does.
  operator RectBase*() noexcept { return this; }
  operator const RectBase*() const noexcept { return this; }

  constexpr int32_t Width() const noexcept { return detail::Diff(right, left); }
  constexpr int32_t Height() const noexcept { return detail::Diff(bottom, top); }
  constexpr CPoint TopLeft() const noexcept { return {left, top}; }
  constexpr CPoint BottomRight() const noexcept { return {right, bottom}; }
  constexpr CPoint CenterPoint() const noexcept {
    return {static_cast<int32_t>((int64_t{left} + right) / 2),
            static_cast<int32_t>((int64_t{top} + bottom) / 2)};
  }

  // Empty as the platform's IsRectEmpty: no positive width or no positive height.
  constexpr bool IsRectEmpty() const noexcept { return right <= left || bottom <= top; }
  constexpr bool IsRectNull() const noexcept {
    return left == 0 && top == 0 && right == 0 && bottom == 0;
  }
  // Inclusive of left and top, exclusive of right and bottom.
  constexpr bool PtInRect(const PointBase& p) const noexcept {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
  constexpr bool EqualRect(const RectBase& r) const noexcept {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }

  constexpr void SetRect(int32_t l, int32_t t, int32_t r, int32_t b) noexcept {
    left = l, top = t, right = r, bottom = b;
  }
  constexpr void SetRectEmpty() noexcept { SetRect(0, 0, 0, 0); }
  constexpr void OffsetRect(int32_t dx, int32_t dy) noexcept {
    SetRect(detail::Sum(left, dx), detail::Sum(top, dy), detail::Sum(right, dx),
            detail::Sum(bottom, dy));
  }
  constexpr void OffsetRect(const PointBase& d) noexcept { OffsetRect(d.x, d.y); }
  constexpr void MoveToXY(int32_t x, int32_t y) noexcept {
    OffsetRect(detail::Diff(x, left), detail::Diff(y, top));
  }
  constexpr void InflateRect(int32_t dx, int32_t dy) noexcept {
    SetRect(detail::Diff(left, dx), detail::Diff(top, dy), detail::Sum(right, dx),
            detail::Sum(bottom, dy));
  }
  constexpr void DeflateRect(int32_t dx, int32_t dy) noexcept {
    SetRect(detail::Sum(left, dx), detail::Sum(top, dy), detail::Diff(right, dx),
            detail::Diff(bottom, dy));
  }
  constexpr void DeflateRect(int32_t l, int32_t t, int32_t r, int32_t b) noexcept {
    SetRect(detail::Sum(left, l), detail::Sum(top, t), detail::Diff(right, r),
            detail::Diff(bottom, b));
  }
  // Swaps the sides so that left <= right and top <= bottom.
  constexpr void NormalizeRect() noexcept {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }

  // As the platform's IntersectRect: the overlap, or an all-zero rectangle and false.
  constexpr bool IntersectRect(const RectBase& a, const RectBase& b) noexcept {
    CRect r(a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
            a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom);
    if (CRect(a).IsRectEmpty() || CRect(b).IsRectEmpty() || r.IsRectEmpty()) {
      SetRectEmpty();
      return false;
    }
    *this = r;
    return true;
  }
  // As the platform's UnionRect: empty inputs are ignored; both empty gives zero and false.
  constexpr bool UnionRect(const RectBase& a, const RectBase& b) noexcept {
    const bool a_empty = CRect(a).IsRectEmpty(), b_empty = CRect(b).IsRectEmpty();
    if (a_empty && b_empty) {
      SetRectEmpty();
      return false;
    }
    if (a_empty) return *this = CRect(b), true;
    if (b_empty) return *this = CRect(a), true;
    SetRect(a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
            a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom);
    return true;
  }

  constexpr bool operator==(const CRect& o) const noexcept { return EqualRect(o); }
  constexpr bool operator!=(const CRect& o) const noexcept { return !EqualRect(o); }
  constexpr CRect& operator&=(const RectBase& o) noexcept {
    IntersectRect(*this, o);
    return *this;
  }
  constexpr CRect& operator|=(const RectBase& o) noexcept {
    UnionRect(*this, o);
    return *this;
  }
  constexpr CRect operator&(const RectBase& o) const noexcept {
    CRect r;
    r.IntersectRect(*this, o);
    return r;
  }
  constexpr CRect operator|(const RectBase& o) const noexcept {
    CRect r;
    r.UnionRect(*this, o);
    return r;
  }
};

static_assert(sizeof(CRect) == sizeof(detail::RectBase) &&
              sizeof(CPoint) == sizeof(detail::PointBase));

}  // namespace Zentu
