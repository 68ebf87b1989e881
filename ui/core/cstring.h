// CString: the library's value-semantic UTF-16 (on Windows) wide string.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "ui/core/zentu_api.h"

namespace Zentu {

// Owns its characters; never shares them, so copies are independent. Every member with a
// body lives in the library, so a CString made on one side of the library boundary can be
// released on the other. Lengths and positions are in wchar_t units, as int (ATL style).
// Format follows the platform's wide printf. On Windows that is the runtime's own, where %s
// is a wide string (as in ATL) and %hs a narrow one; %ls and %hs mean the same on every
// platform, so portable code (and the host build) uses those.
class ZENTU_API CString {
 public:
  CString() noexcept = default;
  CString(const wchar_t* text);  // null makes an empty string
  CString(const wchar_t* text, int length);
  CString(wchar_t ch, int repeat = 1);
  CString(const CString& other);
  CString(CString&& other) noexcept;
  ~CString();

  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;
  CString& operator=(const wchar_t* text);
  CString& operator=(wchar_t ch);

  int GetLength() const noexcept { return length_; }
  bool IsEmpty() const noexcept { return length_ == 0; }
  // Never null: an empty string answers L"".
  const wchar_t* GetString() const noexcept { return data_ ? data_ : L""; }
  operator const wchar_t*() const noexcept { return GetString(); }
  // Out-of-range positions answer 0.
  wchar_t GetAt(int index) const noexcept;
  void SetAt(int index, wchar_t ch) noexcept;
  void Empty() noexcept;

  CString& operator+=(const CString& text);
  CString& operator+=(const wchar_t* text);
  CString& operator+=(wchar_t ch);
  CString& Append(const wchar_t* text, int length);
  CString& AppendFormat(const wchar_t* format, ...);

  // Replaces the contents with the formatted text; on a format error the string is empty.
  void Format(const wchar_t* format, ...);
  void FormatV(const wchar_t* format, va_list args);

  // Ordinal comparison: <0, 0, >0. CompareNoCase folds case with towlower.
  int Compare(const wchar_t* text) const noexcept;
  int CompareNoCase(const wchar_t* text) const noexcept;

  // Counts and positions are clamped to the string, as ATL does.
  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  // Position of the first match at or after start, or -1. An empty needle is not found.
  int Find(const wchar_t* sub, int start = 0) const noexcept;
  int Find(wchar_t ch, int start = 0) const noexcept;
  int ReverseFind(wchar_t ch) const noexcept;
  // Returns the number of replacements.
  int Replace(const wchar_t* old_text, const wchar_t* new_text);
  int Replace(wchar_t old_ch, wchar_t new_ch) noexcept;

  CString& MakeLower() noexcept;
  CString& MakeUpper() noexcept;
  CString& Trim();
  CString& TrimLeft();
  CString& TrimRight();

  // Writable buffer of at least min_length characters plus a terminator, for Win32 calls
  // that fill a caller's buffer. ReleaseBuffer(-1) takes the length up to the first zero.
  wchar_t* GetBuffer(int min_length);
  void ReleaseBuffer(int new_length = -1) noexcept;

 private:
  void Assign(const wchar_t* text, int length);
  bool Reserve(int capacity);

  wchar_t* data_ = nullptr;  // owned, malloc'ed, zero-terminated; null while never filled
  int length_ = 0;
  int capacity_ = 0;  // characters, not counting the terminator
};

ZENTU_API CString operator+(const CString& a, const CString& b);
ZENTU_API CString operator+(const CString& a, const wchar_t* b);
ZENTU_API CString operator+(const wchar_t* a, const CString& b);
ZENTU_API CString operator+(const CString& a, wchar_t b);

inline bool operator==(const CString& a, const CString& b) noexcept {
  return a.GetLength() == b.GetLength() && a.Compare(b.GetString()) == 0;
}
inline bool operator==(const CString& a, const wchar_t* b) noexcept { return a.Compare(b) == 0; }
inline bool operator==(const wchar_t* a, const CString& b) noexcept { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) noexcept { return !(a == b); }
inline bool operator!=(const CString& a, const wchar_t* b) noexcept { return !(a == b); }
inline bool operator!=(const wchar_t* a, const CString& b) noexcept { return !(a == b); }
inline bool operator<(const CString& a, const CString& b) noexcept {
  return a.Compare(b.GetString()) < 0;
}

}  // namespace Zentu
