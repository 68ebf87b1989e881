// What the unpacking reads from a zip entry: cleaned names, attributes, DOS and "UT" times.
#include "app/update/zip_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace calorix {
namespace {

TEST(ZipEntry, NamesAreCleanedToStayInsideTheFolder) {
  const std::pair<const wchar_t*, const wchar_t*> cleaned[] = {
      {L"..\\..\\Windows\\x.dll", L"Windows\\x.dll"},
      {L"C:\\x.txt", L"x.txt"},
      {L"/a/b.txt", L"a\\b.txt"},
      {L"../x.txt", L"x.txt"},
      {L"..\\../..\\x.txt", L"x.txt"},
      {L"a/b/../../../c.txt", L"c.txt"},  // everything up to the parent step goes
      {L"\\\\server\\share\\f.txt", L"server\\share\\f.txt"},
      {L"./a//b/./c.txt", L"a\\b\\c.txt"},
      {L"C:C:/d/", L"d\\"},  // a trailing separator marks a folder
      {L"Software-1.0.1.0.exe", L"Software-1.0.1.0.exe"},
      {L"console/con1.txt", L"console\\con1.txt"},    // CON only as a whole stem
      {L"\\\\.\\PhysicalDrive0", L"PhysicalDrive0"},  // a plain name once cleaned
      {L"COM10", L"COM10"},
  };
  for (const auto& [stored, expected] : cleaned)
    EXPECT_EQ(CleanEntryName(stored), expected) << stored;

  for (const wchar_t* refused : {L"",
                                 L"/",
                                 L"./",
                                 L"..",
                                 L"a/..",
                                 L"a/../",
                                 L"\\\\?\\C:\\x",
                                 L"\\\\.\\COM1",
                                 L"con.d/x.txt",
                                 L"sub/CON",
                                 L"aux.txt",
                                 L"Nul",
                                 L"LPT1 .log",
                                 L"com\x00B9",
                                 L"CONOUT$",
                                 L"x.txt:stream",
                                 L"a/D:b.txt",
                                 L"file.",
                                 L"dots...",
                                 L"blank ",
                                 L"a/ /b",
                                 L"bad|pipe",
                                 L"q?.txt",
                                 L"star*.txt",
                                 L"<lt>",
                                 L"quote\".txt",
                                 L"tab\t.txt"}) {
    EXPECT_FALSE(CleanEntryName(refused)) << refused;
  }
}

TEST(ZipEntry, AttributesFromDosBitsOrUnixModes) {
  EXPECT_EQ(DecodeAttributes(0, 0x21), kAttributeReadOnly | kAttributeArchive);
  EXPECT_EQ(DecodeAttributes(11, 0x16), kAttributeHidden | kAttributeSystem | kAttributeFolder);
  EXPECT_EQ(DecodeAttributes(14, 0xFFC0), 0u);  // bits 6 and 7 and the high word mean nothing
  EXPECT_EQ(DecodeAttributes(7, 0x01), kAttributeReadOnly);
  EXPECT_EQ(DecodeAttributes(3, 0100444u << 16), kAttributeReadOnly | kAttributeArchive);
  EXPECT_EQ(DecodeAttributes(3, 0100644u << 16 | 0x01), kAttributeArchive);  // the mode decides
  EXPECT_EQ(DecodeAttributes(3, 040755u << 16 | 0x10), kAttributeFolder | kAttributeArchive);
  EXPECT_EQ(DecodeAttributes(19, 0100600u << 16), kAttributeArchive);  // any other host: Unix
}

TEST(ZipEntry, DosDateAndTime) {
  const auto dos = [](int y, int mo, int d, int h, int mi, int s) {
    return static_cast<std::uint32_t>((y - 1980) << 25 | mo << 21 | d << 16 | h << 11 | mi << 5 |
                                      s / 2);
  };
  const auto t = DecodeDosDateTime(dos(2020, 1, 2, 3, 4, 6));
  ASSERT_TRUE(t);
  EXPECT_EQ((std::vector<int>{t->year, t->month, t->day, t->hour, t->minute, t->second}),
            (std::vector<int>{2020, 1, 2, 3, 4, 6}));
  EXPECT_TRUE(DecodeDosDateTime(dos(2020, 2, 29, 23, 59, 58)));  // leap year
  EXPECT_FALSE(DecodeDosDateTime(dos(2021, 2, 29, 0, 0, 0)));
  EXPECT_FALSE(DecodeDosDateTime(dos(2021, 0, 1, 0, 0, 0)));
  EXPECT_FALSE(DecodeDosDateTime(dos(2021, 13, 1, 0, 0, 0)));
  EXPECT_FALSE(DecodeDosDateTime(dos(2021, 4, 31, 0, 0, 0)));
  EXPECT_FALSE(DecodeDosDateTime(dos(2021, 1, 1, 24, 0, 0)));
  EXPECT_FALSE(DecodeDosDateTime(0));  // month 0, day 0: no time stored
}

TEST(ZipEntry, ExtendedTimestampBlocks) {
  const std::uint64_t kEpoch = 116444736000000000ULL;
  EXPECT_EQ(UnixSecondsToFileTime(0), kEpoch);
  EXPECT_EQ(UnixSecondsToFileTime(1500000000), kEpoch + 15000000000000000ULL);
  EXPECT_EQ(UnixSecondsToFileTime(0xFFFFFFFFu), kEpoch + 0xFFFFFFFFULL * 10000000ULL);

  // Another block first, then "UT" with modification time only.
  const std::vector<std::uint8_t> mtime_only = {'u', 'x', 1, 0, 9,    'U',  'T',
                                                5,   0,   1, 0, 0x2F, 0x59, 0x59};
  ExtendedTimes t = ParseExtendedTimestamp(mtime_only.data(), mtime_only.size());
  EXPECT_EQ(t.modification, UnixSecondsToFileTime(0x59592F00));
  EXPECT_FALSE(t.access);
  EXPECT_FALSE(t.creation);

  // All three announced and present, in the order modification, access, creation.
  const std::vector<std::uint8_t> all = {'U', 'T', 13, 0, 7, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  t = ParseExtendedTimestamp(all.data(), all.size());
  EXPECT_EQ(t.modification, UnixSecondsToFileTime(1));
  EXPECT_EQ(t.access, UnixSecondsToFileTime(2));
  EXPECT_EQ(t.creation, UnixSecondsToFileTime(3));

  // Access and creation announced (as in a central header) but not held by the block.
  const std::vector<std::uint8_t> short_block = {'U', 'T', 5, 0, 6, 9, 0, 0, 0};
  t = ParseExtendedTimestamp(short_block.data(), short_block.size());
  EXPECT_EQ(t.access, UnixSecondsToFileTime(9));
  EXPECT_FALSE(t.creation);

  // A block claiming more bytes than the field holds ends the reading.
  const std::vector<std::uint8_t> overlong = {'U', 'T', 200, 0, 1, 1, 0, 0, 0};
  t = ParseExtendedTimestamp(overlong.data(), overlong.size());
  EXPECT_FALSE(t.modification);
  EXPECT_FALSE(ParseExtendedTimestamp(nullptr, 4).modification);
}

}  // namespace
}  // namespace calorix
