// Unpacking archives made by Info-ZIP zip and Python's zipfile (see
// tests/fixtures/update/make_archives.py): names that try to leave the folder, attributes,
// times, a read-only leftover, and damaged archives.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/update/unzip.h"
#include "app/update/zip_entry.h"
#include "tests/win/update_test_support.h"

namespace calorix {
namespace {

using Names = std::set<std::wstring>;
constexpr DWORD kAttributeBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                 FILE_ATTRIBUTE_ARCHIVE;

std::wstring Archive(const wchar_t* name) {
  return test::Env(L"CALORIX_TEST_ARCHIVES") + L"\\" + name;
}

// The files below `folder`, relative and backslash-separated.
Names FilesUnder(const std::wstring& folder) {
  Names names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      names.insert(entry.path().lexically_relative(folder).make_preferred().wstring());
  }
  return names;
}

struct Times {
  std::uint64_t creation, access, last_write;
};

std::uint64_t Value(const FILETIME& t) {
  return static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

Times TimesOf(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  FILETIME creation{}, access{}, last_write{};
  ::GetFileTime(file, &creation, &access, &last_write);
  ::CloseHandle(file);
  return {Value(creation), Value(access), Value(last_write)};
}

TEST(UnzipTest, NoNameLeavesTheFolder) {
  // The destination sits three levels down, so that parent steps have somewhere to go.
  const std::wstring root = test::FreshFolder(L"unzip-names");
  const std::wstring dest = root + L"a\\b\\dest";
  UnzipReport report;
  ASSERT_TRUE(UnzipAll(Archive(L"names.zip"), dest, &report));
  EXPECT_EQ(FilesUnder(root),
            (Names{L"a\\b\\dest\\Windows\\x.dll", L"a\\b\\dest\\x.txt", L"a\\b\\dest\\a\\b.txt",
                   L"a\\b\\dest\\dot\\y.txt", L"a\\b\\dest\\server\\share\\unc.txt"}));
  EXPECT_EQ(test::ReadFileBytes(dest + L"\\Windows\\x.dll"), "..\\..\\Windows\\x.dll");
  EXPECT_EQ(test::ReadFileBytes(dest + L"\\x.txt"), "../x.txt") << "the later of two that meet";
  EXPECT_FALSE(test::FileExists(L"C:\\x.txt"));
  EXPECT_FALSE(test::FileExists(L"C:\\Windows\\x.dll"));
  // Ten refused names, one name of 300 bytes and one path of more than 260 characters.
  EXPECT_EQ(report.skipped, 12);
  EXPECT_EQ(report.complete.size(), 5u);  // x.txt once: the later copy is what counts
  EXPECT_TRUE(report.Contains(L"WINDOWS\\x.DLL"));
}

// Info-ZIP's local "UT" block carries modification and access time; the DOS time (local)
// stays as creation time.
TEST(UnzipTest, UnixModesGiveReadOnlyAndArchiveAndTimesComeFromUt) {
  for (const wchar_t* archive : {L"modes_infozip.zip", L"modes_python.zip"}) {
    SCOPED_TRACE(archive);
    const std::wstring dest = test::FreshFolder(L"unzip-modes");
    ASSERT_TRUE(UnzipAll(Archive(archive), dest));
    EXPECT_EQ(test::AttributesOf(dest + L"ro.txt") & kAttributeBits,
              DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_EQ(test::AttributesOf(dest + L"rw.txt") & kAttributeBits, DWORD{FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_EQ(test::ReadFileBytes(dest + L"ro.txt"), "read only");
    if (std::wstring(archive) == L"modes_python.zip") {
      EXPECT_EQ(test::AttributesOf(dest + L"folder") & kAttributeBits,
                DWORD{FILE_ATTRIBUTE_DIRECTORY});
      continue;
    }
    const Times times = TimesOf(dest + L"rw.txt");
    EXPECT_EQ(times.last_write, UnixSecondsToFileTime(1614834368));  // 2021-03-04 05:06:08 UTC
    EXPECT_EQ(times.access, UnixSecondsToFileTime(1614920768));
  }
}

TEST(UnzipTest, UtBlockWithOnlyTheModificationTime) {
  const std::wstring dest = test::FreshFolder(L"unzip-ut");
  ASSERT_TRUE(UnzipAll(Archive(L"ut_mtime.zip"), dest));
  // The DOS time 2020-01-02 03:04:06, read as local time.
  SYSTEMTIME dos{2020, 1, 0, 2, 3, 4, 6, 0};
  FILETIME local{}, utc{};
  ASSERT_TRUE(::SystemTimeToFileTime(&dos, &local) && ::LocalFileTimeToFileTime(&local, &utc));
  const Times times = TimesOf(dest + L"stamped.txt");
  EXPECT_EQ(times.last_write, UnixSecondsToFileTime(1500000000));
  // Wine keeps no creation time on Linux file systems (it reports the modification time),
  // so the access time is where the DOS time shows.
  EXPECT_EQ(times.access, Value(utc));
}

TEST(UnzipTest, ReadOnlyLeftoverIsSkippedOnTheSecondRun) {
  const std::wstring dest = test::FreshFolder(L"unzip-leftover");
  ASSERT_TRUE(UnzipAll(Archive(L"leftover_first.zip"), dest));
  UnzipReport second;
  ASSERT_TRUE(UnzipAll(Archive(L"leftover_second.zip"), dest, &second));
  EXPECT_EQ(test::ReadFileBytes(dest + L"locked.txt"), "first");
  EXPECT_EQ(test::ReadFileBytes(dest + L"open.txt"), "second");
  EXPECT_EQ(second.complete, std::vector<std::wstring>{L"open.txt"});
  EXPECT_EQ(second.skipped, 1);
}

TEST(UnzipTest, DamagedEntriesAndArchivesLeaveTheRestIntact) {
  struct Case {
    const wchar_t* archive;
    Names damaged;
  };
  for (const Case& c : {Case{L"corrupt.zip", {L"broken.txt"}},
                        Case{L"sizelie.zip", {L"claims_more.txt", L"claims_less.txt"}}}) {
    SCOPED_TRACE(c.archive);
    const std::wstring dest = test::FreshFolder(L"unzip-damaged");
    UnzipReport report;
    ASSERT_TRUE(UnzipAll(Archive(c.archive), dest, &report));
    EXPECT_EQ(Names(report.complete.begin(), report.complete.end()),
              (Names{L"first.txt", L"last.txt"}));
    EXPECT_EQ(report.skipped, static_cast<int>(c.damaged.size()));
    for (const wchar_t* name : {L"first.txt", L"last.txt"}) {
      const std::string text = test::ReadFileBytes(dest + name);
      EXPECT_EQ(text.size(), 4000u);
      EXPECT_EQ(text.rfind(test::ToNarrow(name) + ": the quick brown fox", 0), 0u);
    }
  }
  // A damaged later copy of a name replaces the whole earlier one: the name is not complete.
  const std::wstring twice = test::FreshFolder(L"unzip-twice");
  UnzipReport report_twice;
  ASSERT_TRUE(UnzipAll(Archive(L"twice.zip"), twice, &report_twice));
  EXPECT_EQ(report_twice.complete, std::vector<std::wstring>{L"last.txt"});

  // An archive cut short has no directory: it does not open, and what is there stays.
  const std::wstring dest = test::FreshFolder(L"unzip-damaged");
  test::WriteFileBytes(dest + L"middle.txt", "earlier");
  UnzipReport report;
  EXPECT_FALSE(UnzipAll(Archive(L"truncated.zip"), dest, &report));
  EXPECT_EQ(FilesUnder(dest), Names{L"middle.txt"});
  EXPECT_EQ(test::ReadFileBytes(dest + L"middle.txt"), "earlier");
  EXPECT_FALSE(UnzipAll(Archive(L"no-such.zip"), dest));
}

}  // namespace
}  // namespace calorix
