// Who besides SYSTEM, the administrators and TrustedInstaller can change what a folder holds,
// decided from its owner and access entries as the Windows side reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace calorix {

inline constexpr char kSystemSid[] = "S-1-5-18";
inline constexpr char kAdministratorsSid[] = "S-1-5-32-544";
inline constexpr char kTrustedInstallerSid[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
inline constexpr char kEveryoneSid[] = "S-1-1-0";

// One entry of an access list, with its SID in the S-1-... form.
struct AccessEntry {
  std::string sid;
  std::uint32_t mask = 0;
  bool allows = true;         // an allowing entry; denying ones only take rights away
  bool inherit_only = false;  // applies to what is made inside, not to the folder itself
};

struct ObjectSecurity {
  std::string owner;
  bool has_access_list = true;  // without one, everyone has every right
  std::vector<AccessEntry> entries;
};

enum class FolderPlace {
  kHolds,  // holds what the program loads or starts: any change to it counts
  kAbove,  // lies above that: only what can rename, replace or re-grant what is below counts
};

// The SIDs other than SYSTEM, Administrators and TrustedInstaller that can change the folder,
// in the order found; the owner counts, as it may always rewrite the access list. Denying
// entries are not weighed against allowing ones: a folder that needs them counts as open.
std::vector<std::string> OtherWriters(const ObjectSecurity& security, FolderPlace place);

}  // namespace calorix
