// CString: value semantics, aliasing, clamping, searching and formatting.
#include "ui/core/cstring.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace Zentu {

// Readable failure output (ASCII is all these tests use).
void PrintTo(const CString& s, std::ostream* os) {
  *os << '"';
  for (int i = 0; i < s.GetLength(); ++i) *os << static_cast<char>(s.GetAt(i));
  *os << '"';
}

namespace {

TEST(CString, NullAndEmptyAreTheSameEmptyString) {
  CString a, b(nullptr), c(L"");
  for (const CString* s : {&a, &b, &c}) {
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_EQ(s->GetLength(), 0);
    ASSERT_NE(s->GetString(), nullptr);
    EXPECT_STREQ(s->GetString(), L"");
  }
  EXPECT_EQ(a, b);
  EXPECT_EQ(CString(L"abc", -4), a);  // a negative length is no text
}

TEST(CString, OperationsOnItsOwnText) {
  CString s(L"0123456789");
  s = s.Mid(2, 3);
  EXPECT_EQ(s, L"234");
  s += s;  // appending itself survives the buffer moving
  EXPECT_EQ(s, L"234234");
  for (int i = 0; i < 6; ++i) s += s;
  EXPECT_EQ(s.GetLength(), 6 * 64);
  s = s.GetString() + 381;  // assigning a pointer into its own buffer
  EXPECT_EQ(s, L"234");
  s.Format(L"[%ls]", s.GetString());  // formatting with its own text as argument
  EXPECT_EQ(s, L"[234]");
}

TEST(CString, LeftMidRightClampLikeAtl) {
  const CString s(L"Calorix");
  EXPECT_EQ(s.Left(3), L"Cal");
  EXPECT_EQ(s.Left(99), L"Calorix");
  EXPECT_EQ(s.Left(-1), L"");
  EXPECT_EQ(s.Right(3), L"rix");
  EXPECT_EQ(s.Right(99), L"Calorix");
  EXPECT_EQ(s.Mid(4), L"rix");
  EXPECT_EQ(s.Mid(-2, 3), L"Cal");
  EXPECT_EQ(s.Mid(5, 99), L"ix");
  EXPECT_EQ(s.Mid(7), L"");
  EXPECT_EQ(s.Mid(50, 2), L"");
  EXPECT_EQ(s.GetAt(7), 0);
}

TEST(CString, FindAndReverseFind) {
  const CString s(L"a\\b\\c.exe");
  EXPECT_EQ(s.Find(L'\\'), 1);
  EXPECT_EQ(s.Find(L'\\', 2), 3);
  EXPECT_EQ(s.Find(L'\\', 4), -1);
  EXPECT_EQ(s.ReverseFind(L'\\'), 3);
  EXPECT_EQ(s.Find(L".exe"), 5);
  EXPECT_EQ(s.Find(L"b", 3), -1);
  EXPECT_EQ(s.Find(L""), -1);
  EXPECT_EQ(s.Find(L"c", -1), -1);
  EXPECT_EQ(s.Find(L"c", 100), -1);
  EXPECT_EQ(CString().Find(L"x"), -1);
  EXPECT_EQ(CString().ReverseFind(L'x'), -1);
}

TEST(CString, ComparisonAndCase) {
  EXPECT_LT(CString(L"abc").Compare(L"abd"), 0);
  EXPECT_GT(CString(L"abc").Compare(L"ab"), 0);
  EXPECT_EQ(CString(L"abc").Compare(nullptr), 1);
  EXPECT_EQ(CString(L"KEM").CompareNoCase(L"kem"), 0);
  EXPECT_NE(CString(L"KEM").CompareNoCase(L"ke"), 0);
  EXPECT_LT(CString(L"apple").CompareNoCase(L"BANANA"), 0);
  EXPECT_NE(CString(L"Theme1"), L"theme1");
  CString s(L"Theme1\\");
  EXPECT_EQ(s.MakeUpper(), L"THEME1\\");
}

TEST(CString, FormatGrowsAndFailsToEmpty) {
  CString s;
  s.Format(L"%d-%ls-%.1f", 42, L"KEM", 1.5);
  EXPECT_EQ(s, L"42-KEM-1.5");
  const std::wstring long_text(5000, L'z');
  s.Format(L"<%ls>", long_text.c_str());
  EXPECT_EQ(s.GetLength(), 5002);
  EXPECT_EQ(s.Mid(1, 5000), long_text.c_str());
  s.AppendFormat(L"%03u", 7u);
  EXPECT_EQ(s.Right(4), L">007");
#if defined(_WIN32)
  s.Format(L"%s|%hs", L"wide", "narrow");  // the runtime's %s is wide, as in ATL
  EXPECT_EQ(s, L"wide|narrow");
#endif
  s.Format(nullptr);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, BufferForCallsThatFillIt) {
  CString s(L"old");
  wchar_t* p = s.GetBuffer(10);
  ASSERT_NE(p, nullptr);
  const wchar_t text[] = L"filled";
  for (int i = 0; i < 7; ++i) p[i] = text[i];
  s.ReleaseBuffer();
  EXPECT_EQ(s, L"filled");
  EXPECT_EQ(s.GetLength(), 6);
  p = s.GetBuffer(0);  // never shrinks below the current text
  p[6] = L'X';         // room for the terminator position stays writable
  s.ReleaseBuffer(3);
  EXPECT_EQ(s, L"fil");
  s.ReleaseBuffer(1 << 20);  // a claimed length beyond the buffer is cut to it
  EXPECT_LE(s.GetLength(), 1 << 20);
  EXPECT_EQ(s.GetString()[s.GetLength()], 0);
}

}  // namespace
}  // namespace Zentu
