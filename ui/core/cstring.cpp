// CString: the library's value-semantic wide string.
#include "ui/core/cstring.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <utility>

namespace Zentu {

namespace {

int LengthOf(const wchar_t* text) {
  if (!text) return 0;
  const size_t n = wcslen(text);
  return n > static_cast<size_t>(INT_MAX / 2) ? INT_MAX / 2 : static_cast<int>(n);
}

int ClampCount(int count, int limit) { return count < 0 ? 0 : (count > limit ? limit : count); }

// On Windows the runtime's own _vsnwprintf, so that %s takes a wide string as ATL's Format
// does (mingw's ISO vswprintf would read it as narrow); %ls and %hs work everywhere.
// Answers -1 when the text does not fit.
int FormatInto(wchar_t* buffer, int size, const wchar_t* format, va_list args) {
#if defined(_WIN32)
  return _vsnwprintf(buffer, static_cast<size_t>(size), format, args);
#else
  return vswprintf(buffer, static_cast<size_t>(size), format, args);
#endif
}

bool IsSpace(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r'); }

}  // namespace

CString::CString(const wchar_t* text) { Assign(text, LengthOf(text)); }

CString::CString(const wchar_t* text, int length) {
  Assign(text, text ? ClampCount(length, INT_MAX / 2) : 0);
}

CString::CString(wchar_t ch, int repeat) {
  repeat = ClampCount(repeat, INT_MAX / 2);
  if (repeat == 0 || !Reserve(repeat)) return;
  for (int i = 0; i < repeat; ++i) data_[i] = ch;
  length_ = repeat;
  data_[length_] = 0;
}

CString::CString(const CString& other) { Assign(other.data_, other.length_); }

CString::CString(CString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

CString::~CString() { free(data_); }

CString& CString::operator=(const CString& other) {
  if (this != &other) Assign(other.data_, other.length_);
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this != &other) {
    free(data_);
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

CString& CString::operator=(const wchar_t* text) {
  Assign(text, LengthOf(text));
  return *this;
}

CString& CString::operator=(wchar_t ch) {
  Assign(&ch, 1);
  return *this;
}

bool CString::Reserve(int capacity) {
  if (capacity <= capacity_ && data_) return true;
  if (capacity < 0 || capacity > INT_MAX / 2) return false;
  int grown = capacity_ + capacity_ / 2;
  if (grown < capacity || grown > INT_MAX / 2) grown = capacity;
  if (grown < 15) grown = 15;
  void* p = realloc(data_, (static_cast<size_t>(grown) + 1) * sizeof(wchar_t));
  if (!p) return false;
  data_ = static_cast<wchar_t*>(p);
  capacity_ = grown;
  data_[length_] = 0;
  return true;
}

// `text` may point into this string's own buffer (s = s.Mid(...) style).
void CString::Assign(const wchar_t* text, int length) {
  if (length <= 0 || !text) {
    Empty();
    return;
  }
  if (data_ && text >= data_ && text <= data_ + length_) {
    memmove(data_, text, static_cast<size_t>(length) * sizeof(wchar_t));
  } else {
    length_ = 0;
    if (!Reserve(length)) {
      Empty();
      return;
    }
    memcpy(data_, text, static_cast<size_t>(length) * sizeof(wchar_t));
  }
  length_ = length;
  data_[length_] = 0;
}

wchar_t CString::GetAt(int index) const noexcept {
  return index >= 0 && index < length_ ? data_[index] : 0;
}

void CString::SetAt(int index, wchar_t ch) noexcept {
  if (index >= 0 && index < length_) data_[index] = ch;
}

void CString::Empty() noexcept {
  length_ = 0;
  if (data_) data_[0] = 0;
}

CString& CString::Append(const wchar_t* text, int length) {
  if (!text || length <= 0) return *this;
  if (length > INT_MAX / 2 - length_) return *this;
  // Appending a piece of ourselves: realloc may move the buffer, so remember the offset.
  const bool inside = data_ && text >= data_ && text <= data_ + length_;
  const ptrdiff_t offset = inside ? text - data_ : 0;
  if (!Reserve(length_ + length)) return *this;
  if (inside) text = data_ + offset;
  memmove(data_ + length_, text, static_cast<size_t>(length) * sizeof(wchar_t));
  length_ += length;
  data_[length_] = 0;
  return *this;
}

CString& CString::operator+=(const CString& text) { return Append(text.data_, text.length_); }
CString& CString::operator+=(const wchar_t* text) { return Append(text, LengthOf(text)); }
CString& CString::operator+=(wchar_t ch) { return Append(&ch, 1); }

void CString::FormatV(const wchar_t* format, va_list args) {
  // Built aside: the format or an argument may be this string's own text.
  CString out;
  if (format) {
    // vswprintf reports a too-small buffer only as failure, so grow until it fits. A format
    // that fails for another reason fails at the largest size too and gives an empty string.
    constexpr int kLimit = 1 << 24;
    for (int size = 256; size <= kLimit; size *= 4) {
      if (!out.Reserve(size)) break;
      va_list copy;
      va_copy(copy, args);
      const int n = FormatInto(out.data_, size + 1, format, copy);
      va_end(copy);
      if (n >= 0 && n <= size) {
        out.length_ = n;
        out.data_[n] = 0;
        break;
      }
    }
  }
  *this = std::move(out);
}

void CString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

CString& CString::AppendFormat(const wchar_t* format, ...) {
  CString piece;
  va_list args;
  va_start(args, format);
  piece.FormatV(format, args);
  va_end(args);
  return *this += piece;
}

int CString::Compare(const wchar_t* text) const noexcept {
  return wcscmp(GetString(), text ? text : L"");
}

int CString::CompareNoCase(const wchar_t* text) const noexcept {
  const wchar_t* a = GetString();
  const wchar_t* b = text ? text : L"";
  for (;; ++a, ++b) {
    const wint_t ca = towlower(static_cast<wint_t>(*a));
    const wint_t cb = towlower(static_cast<wint_t>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

CString CString::Left(int count) const { return CString(data_, ClampCount(count, length_)); }

CString CString::Right(int count) const {
  count = ClampCount(count, length_);
  return CString(data_ ? data_ + (length_ - count) : nullptr, count);
}

CString CString::Mid(int first) const { return Mid(first, length_); }

CString CString::Mid(int first, int count) const {
  first = ClampCount(first, length_);
  count = ClampCount(count, length_ - first);
  return CString(data_ ? data_ + first : nullptr, count);
}

int CString::Find(const wchar_t* sub, int start) const noexcept {
  if (!sub || !*sub || start < 0 || start >= length_) return -1;
  const wchar_t* hit = wcsstr(data_ + start, sub);
  return hit ? static_cast<int>(hit - data_) : -1;
}

int CString::Find(wchar_t ch, int start) const noexcept {
  if (start < 0) return -1;
  for (int i = start; i < length_; ++i) {
    if (data_[i] == ch) return i;
  }
  return -1;
}

int CString::ReverseFind(wchar_t ch) const noexcept {
  for (int i = length_ - 1; i >= 0; --i) {
    if (data_[i] == ch) return i;
  }
  return -1;
}

int CString::Replace(const wchar_t* old_text, const wchar_t* new_text) {
  const int old_len = LengthOf(old_text);
  if (old_len == 0 || length_ == 0) return 0;
  const int new_len = LengthOf(new_text);
  CString result;
  int count = 0, from = 0;
  for (int at = Find(old_text, 0); at >= 0; at = Find(old_text, from)) {
    result.Append(data_ + from, at - from);
    result.Append(new_text, new_len);
    from = at + old_len;
    ++count;
  }
  if (count == 0) return 0;
  result.Append(data_ + from, length_ - from);
  *this = std::move(result);
  return count;
}

int CString::Replace(wchar_t old_ch, wchar_t new_ch) noexcept {
  int count = 0;
  for (int i = 0; i < length_; ++i) {
    if (data_[i] == old_ch) data_[i] = new_ch, ++count;
  }
  return count;
}

CString& CString::MakeLower() noexcept {
  for (int i = 0; i < length_; ++i) data_[i] = static_cast<wchar_t>(towlower(data_[i]));
  return *this;
}

CString& CString::MakeUpper() noexcept {
  for (int i = 0; i < length_; ++i) data_[i] = static_cast<wchar_t>(towupper(data_[i]));
  return *this;
}

CString& CString::TrimLeft() {
  int skip = 0;
  while (skip < length_ && IsSpace(data_[skip])) ++skip;
  if (skip > 0) Assign(data_ + skip, length_ - skip);
  return *this;
}

CString& CString::TrimRight() {
  while (length_ > 0 && IsSpace(data_[length_ - 1])) data_[--length_] = 0;
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

wchar_t* CString::GetBuffer(int min_length) {
  if (min_length < length_) min_length = length_;
  if (!Reserve(min_length)) return nullptr;
  return data_;
}

void CString::ReleaseBuffer(int new_length) noexcept {
  if (!data_) return;
  if (new_length < 0) {
    int n = 0;
    while (n < capacity_ && data_[n]) ++n;
    new_length = n;
  }
  length_ = new_length > capacity_ ? capacity_ : new_length;
  data_[length_] = 0;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  return r += b;
}
CString operator+(const CString& a, const wchar_t* b) {
  CString r(a);
  return r += b;
}
CString operator+(const wchar_t* a, const CString& b) {
  CString r(a);
  return r += b;
}
CString operator+(const CString& a, wchar_t b) {
  CString r(a);
  return r += b;
}

}  // namespace Zentu
