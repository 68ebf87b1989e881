// What the unpacking reads from a zip entry: cleaned names, attributes, DOS and "UT" times.
// Names as real archives carry them are unpacked under Wine (update_unzip_test.cpp).
#include "app/update/zip_entry.h"

#include <gtest/gtest.h>

#include <vector>

namespace calorix {
namespace {

TEST(ZipEntry, NamesAreCleanedOrRefused) {
  const std::pair<const wchar_t*, const wchar_t*> cleaned[] = {
      {L"..\\../..\\x.txt", L"x.txt"},
      {L"a/b/../../../c.txt", L"c.txt"},  // everything up to the parent step goes
      {L"./a//b/./c.txt", L"a\\b\\c.txt"},
      {L"C:C:/d/", L"d\\"},  // a trailing separator marks a folder
      {L"\\\\.\\PhysicalDrive0", L"PhysicalDrive0"},
      {L"console/com10", L"console\\com10"},
  };
  for (const auto& [stored, expected] : cleaned) EXPECT_EQ(CleanEntryName(stored), expected);
  for (const wchar_t* refused :
       {L"", L"./", L"a/..", L"a/../", L"con.d/x", L"Nul", L"com\x00B9", L"CONOUT$", L"a/D:b",
        L"file.", L"blank ", L"a/ /b", L"q?.txt", L"<lt>", L"tab\t.txt"})
    EXPECT_FALSE(CleanEntryName(refused)) << refused;
}

TEST(ZipEntry, AttributesFromDosBitsOrUnixModes) {
  EXPECT_EQ(DecodeAttributes(11, 0x16), kAttributeHidden | kAttributeSystem | kAttributeFolder);
  EXPECT_EQ(DecodeAttributes(14, 0xFFC1), kAttributeReadOnly);  // only the five DOS bits count
  EXPECT_EQ(DecodeAttributes(3, 0100644u << 16 | 0x01), kAttributeArchive);  // the mode decides
  EXPECT_EQ(DecodeAttributes(3, 040555u << 16),
            kAttributeFolder | kAttributeReadOnly | kAttributeArchive);
  EXPECT_EQ(DecodeAttributes(19, 0100600u << 16), kAttributeArchive);  // any other host: Unix
}

TEST(ZipEntry, DosDateAndTime) {
  const auto dos = [](unsigned y, unsigned mo, unsigned d, unsigned h) {
    return (y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | 4 << 5 | 3;
  };
  const auto t = DecodeDosDateTime(dos(2020, 2, 29, 23));  // a leap day
  ASSERT_TRUE(t);
  EXPECT_EQ((std::vector<int>{t->year, t->month, t->day, t->hour, t->minute, t->second}),
            (std::vector<int>{2020, 2, 29, 23, 4, 6}));
  for (std::uint32_t impossible :
       {dos(2021, 2, 29, 0), dos(2021, 13, 1, 0), dos(2021, 4, 31, 0), dos(2021, 1, 1, 24), 0u})
    EXPECT_FALSE(DecodeDosDateTime(impossible)) << impossible;
}

TEST(ZipEntry, ExtendedTimestampBlocks) {
  EXPECT_EQ(UnixSecondsToFileTime(0), 116444736000000000ULL);
  // Another block first; then "UT" announcing all three times but holding only two, as a
  // central header does.
  const std::vector<std::uint8_t> field = {'u', 'x', 1, 0, 9, 'U', 'T', 9, 0,
                                           7,   1,   0, 0, 0, 2,   0,   0, 0};
  ExtendedTimes t = ParseExtendedTimestamp(field.data(), field.size());
  EXPECT_EQ(t.modification, UnixSecondsToFileTime(1));
  EXPECT_EQ(t.access, UnixSecondsToFileTime(2));
  EXPECT_FALSE(t.creation);
  // A block claiming more bytes than the field holds ends the reading.
  const std::vector<std::uint8_t> overlong = {'U', 'T', 200, 0, 1, 1, 0, 0, 0};
  EXPECT_FALSE(ParseExtendedTimestamp(overlong.data(), overlong.size()).modification);
}

}  // namespace
}  // namespace calorix
