// The write-access rule for the folders a program elevated at logon is started from.
#include "app/system/write_access.h"

#include <algorithm>

namespace calorix {
namespace {

constexpr std::uint32_t kWriteData = 0x2;   // add a file
constexpr std::uint32_t kAppendData = 0x4;  // add a folder
constexpr std::uint32_t kWriteEa = 0x10;
constexpr std::uint32_t kDeleteChild = 0x40;  // remove or rename anything inside
constexpr std::uint32_t kWriteAttributes = 0x100;
constexpr std::uint32_t kDelete = 0x10000;    // remove or rename the folder itself
constexpr std::uint32_t kWriteDac = 0x40000;  // grant itself any of the rest
constexpr std::uint32_t kWriteOwner = 0x80000;
constexpr std::uint32_t kMaximumAllowed = 0x2000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;

// Above the program's folder, adding entries changes nothing the program uses (every drive's
// root lets users make folders); removing, renaming and re-granting do.
constexpr std::uint32_t kRedirects =
    kDeleteChild | kDelete | kWriteDac | kWriteOwner | kMaximumAllowed | kGenericAll;
constexpr std::uint32_t kChanges =
    kRedirects | kWriteData | kAppendData | kWriteEa | kWriteAttributes | kGenericWrite;

bool Trusted(const std::string& sid) {
  return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid;
}

void Add(std::vector<std::string>& writers, const std::string& sid) {
  if (!Trusted(sid) && std::find(writers.begin(), writers.end(), sid) == writers.end())
    writers.push_back(sid);
}

}  // namespace

std::vector<std::string> OtherWriters(const ObjectSecurity& security, FolderPlace place) {
  std::vector<std::string> writers;
  Add(writers, security.owner);
  if (!security.has_access_list) {
    Add(writers, kEveryoneSid);
    return writers;
  }
  const std::uint32_t counted = place == FolderPlace::kHolds ? kChanges : kRedirects;
  for (const AccessEntry& entry : security.entries) {
    if (entry.allows && !entry.inherit_only && (entry.mask & counted)) Add(writers, entry.sid);
  }
  return writers;
}

}  // namespace calorix
