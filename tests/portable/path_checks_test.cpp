// The link-safe path rules and the write-access rule, on the cases Wine cannot make: junctions,
// Windows symbolic links, object-manager redirects and the access lists Windows ships.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "app/system/link_checks.h"
#include "app/system/write_access.h"

namespace calorix {
namespace {

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

TEST(PathChecks, DrivePathsSplitAndEverythingElseIsRefused) {
  const auto split = SplitDrivePath(L"C:\\Users\\ann\\AppData\\Local\\KEM Files\\");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->root, L"C:\\");
  EXPECT_EQ(split->names,
            (std::vector<std::wstring>{L"Users", L"ann", L"AppData", L"Local", L"KEM Files"}));
  EXPECT_EQ(JoinDrivePath(*split, 0), L"C:\\");
  EXPECT_EQ(JoinDrivePath(*split, 2), L"C:\\Users\\ann");
  EXPECT_TRUE(SplitDrivePath(L"d:\\")->names.empty());
  for (const wchar_t* refused :
       {L"", L"C:", L"C:relative", L"KEM Files\\calorix.log", L"\\\\server\\share\\x",
        L"\\\\?\\C:\\x", L"C:\\a\\..\\Windows", L"C:\\a\\.\\b", L"C:\\a\\\\b", L"C:\\a\\\\",
        L"C:\\a\\log:stream", L"C:\\a/b", L"1:\\a"}) {
    EXPECT_FALSE(SplitDrivePath(refused)) << std::wstring(refused).size();
  }
}

TEST(PathChecks, AnEntryIsItselfOnlyWithoutLinksOtherNamesOrAnotherFinalPath) {
  const std::wstring folder = L"C:\\Users\\ann\\AppData\\Local\\KEM Files";
  const std::wstring log = folder + L"\\calorix.log";
  OpenedFacts plain{0x10, 0x10, 0, 1, L"\\\\?\\C:\\users\\ANN\\AppData\\Local\\KEM Files"};
  EXPECT_EQ(Judge(plain, folder + L"\\", false, SameIgnoringCase), Opened::kItself);

  struct Case {
    OpenedFacts facts;
    bool file;
    Opened expected;
  };
  const Case cases[] = {
      // A junction (or one leading into an object-manager directory) opened as itself.
      {{0x410, 0x410, kTagMountPoint, 1, L"\\\\?\\" + folder}, false, Opened::kJunction},
      {{0x420, 0x420, kTagSymbolicLink, 1, L"\\\\?\\" + log}, true, Opened::kSymbolicLink},
      // Wine: the handle is the target's, only the path shows the link.
      {{0x410, 0x10, 0, 1, L"\\\\?\\Z:\\tmp\\elsewhere"}, false, Opened::kSymbolicLink},
      {{0x420, 0x420, 0x80000023, 1, L"\\\\?\\" + log}, true, Opened::kReparsePoint},
      {{kNoAttributes, 0x20, 0, 1, L"\\\\?\\" + log}, true, Opened::kUnreadable},
      // A hard link to a file elsewhere; folders do not count their names.
      {{0x20, 0x20, 0, 2, L"\\\\?\\" + log}, true, Opened::kSeveralNames},
      {{0x10, 0x10, 0, 3, L"\\\\?\\" + folder}, false, Opened::kItself},
      // Reached through a redirect the attributes do not show, e.g. an object-manager link.
      {{0x20, 0x20, 0, 1, L"\\\\?\\C:\\Windows\\System32\\version.dll"}, true, Opened::kElsewhere},
      {{0x20, 0x20, 0, 1, L"\\\\?\\UNC\\server\\share\\calorix.log"}, true, Opened::kElsewhere},
      {{0x20, 0x20, 0, 1, L""}, true, Opened::kElsewhere},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Judge(c.facts, c.file ? log : folder, c.file, SameIgnoringCase), c.expected)
        << OpenedText(c.expected);
  }
  EXPECT_STREQ(OpenedText(Opened::kJunction), "is a junction");
  EXPECT_STREQ(OpenedText(Opened::kItself), "");
  EXPECT_EQ(PlainFinalPath(L"\\\\?\\C:\\"), L"C:\\");
}

// Access lists as Windows 10 ships them (icacls, written as entries).
constexpr std::uint32_t kFull = 0x1F01FF, kModify = 0x1301BF, kReadExecute = 0x1200A9;
const AccessEntry kSystemFull{kSystemSid, kFull};
const AccessEntry kAdminsFull{kAdministratorsSid, kFull};
const AccessEntry kUsersRead{"S-1-5-32-545", kReadExecute};

TEST(WriteAccess, OnlyTheSystemsOwnAccountsMayChangeAProgramsFolders) {
  // C:\Program Files\Calorix, made by an elevated installer: inherited entries, the creator
  // owner's only for what is made inside.
  const ObjectSecurity program{kAdministratorsSid,
                               true,
                               {{kTrustedInstallerSid, kFull},
                                kSystemFull,
                                kAdminsFull,
                                kUsersRead,
                                {"S-1-3-0", 0x10000000, true, true},
                                {"S-1-15-2-1", kReadExecute}}};
  EXPECT_TRUE(OtherWriters(program, FolderPlace::kHolds).empty());

  // C:\: authenticated users may add folders to it and change what they make inside.
  const ObjectSecurity root{kSystemSid,
                            true,
                            {kAdminsFull,
                             kSystemFull,
                             kUsersRead,
                             {"S-1-5-11", 0x4},
                             {"S-1-5-11", kModify | 0x10000000, true, true}}};
  EXPECT_TRUE(OtherWriters(root, FolderPlace::kAbove).empty());
  EXPECT_EQ(OtherWriters(root, FolderPlace::kHolds), std::vector<std::string>{"S-1-5-11"});

  // C:\Calorix made by the user, as Wine shows every folder: the user owns it and may write.
  const std::string user = "S-1-5-21-0-0-0-1000";
  const ObjectSecurity users_own{
      user, true, {kSystemFull, {user, kFull}, {kEveryoneSid, kReadExecute}}};
  EXPECT_EQ(OtherWriters(users_own, FolderPlace::kAbove), std::vector<std::string>{user});
  // chmod 777 under Wine: everyone may write, even where the owner is trusted.
  const ObjectSecurity open{kAdministratorsSid, true, {kSystemFull, {kEveryoneSid, kModify}}};
  EXPECT_EQ(OtherWriters(open, FolderPlace::kHolds), std::vector<std::string>{kEveryoneSid});

  // Single rights that each suffice, and ones that do not above the program's folder.
  for (const std::uint32_t right : {0x2u, 0x4u, 0x40u, 0x10000u, 0x40000u, 0x80000u, 0x40000000u})
    EXPECT_EQ(OtherWriters({kSystemSid, true, {{user, right}}}, FolderPlace::kHolds).size(), 1u);
  for (const std::uint32_t right : {0x40u, 0x10000u, 0x40000u, 0x80000u, 0x10000000u})
    EXPECT_EQ(OtherWriters({kSystemSid, true, {{user, right}}}, FolderPlace::kAbove).size(), 1u);
  for (const std::uint32_t right : {0x2u, 0x4u, 0x100u, kReadExecute})
    EXPECT_TRUE(OtherWriters({kSystemSid, true, {{user, right}}}, FolderPlace::kAbove).empty());

  // No access list at all, and a deny entry that a folder would need to be closed.
  EXPECT_EQ(OtherWriters({kSystemSid, false, {}}, FolderPlace::kAbove),
            std::vector<std::string>{kEveryoneSid});
  const ObjectSecurity denied{kSystemSid, true, {{user, kFull, false}, {user, kFull}}};
  EXPECT_EQ(OtherWriters(denied, FolderPlace::kHolds), std::vector<std::string>{user});
}

}  // namespace
}  // namespace calorix
