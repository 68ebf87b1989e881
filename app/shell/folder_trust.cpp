// Reading owners and access lists, and the folders a program's logon task relies on.
#include "app/shell/folder_trust.h"

#include <aclapi.h>
#include <sddl.h>

#include <iterator>
#include <vector>

#include "app/base/handles.h"
#include "app/base/utf8_text.h"
#include "app/system/link_checks.h"
#include "app/system/log.h"
#include "app/temperature/monitor_server.h"
#include "app/temperature/server_paths.h"
#include "ui/core/skin_folder.h"

namespace calorix {
namespace {

std::string SidText(PSID sid) {
  LPSTR text = nullptr;
  if (!sid || !::ConvertSidToStringSidA(sid, &text)) return "an unknown SID";
  std::string copy = text;
  ::LocalFree(text);
  return copy;
}

AccessEntry EntryOf(const ACE_HEADER* header) {
  AccessEntry entry;
  entry.inherit_only = header->AceFlags & INHERIT_ONLY_ACE;
  switch (header->AceType) {
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      entry.allows = false;
      [[fallthrough]];
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
      // The four kinds share the layout: header, mask, SID.
      const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
      entry.mask = ace->Mask;
      entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
      return entry;
    }
    default:
      // An object entry has no place on a file; one that does counts as everyone's.
      entry.mask = GENERIC_ALL;
      entry.sid = kEveryoneSid;
      return entry;
  }
}

struct Checked {
  std::wstring path;
  FolderPlace place;
};

// Root and folders above the program's are kAbove; the program's folder and the subfolders
// whose files it starts or decodes elevated are kHolds. Skin images are decoded by GDI+.
std::vector<Checked> FoldersOf(const DrivePath& folder) {
  std::vector<Checked> checked;
  for (std::size_t i = 0; i < folder.names.size(); ++i)
    checked.push_back({JoinDrivePath(folder, i), FolderPlace::kAbove});
  std::wstring path = JoinDrivePath(folder, folder.names.size());
  checked.push_back({path, FolderPlace::kHolds});
  if (path.back() == L'\\') path.pop_back();  // a program in a drive's root
  const std::wstring below = path + L'\\';
  for (const bool windows10 : {true, false})
    checked.push_back(
        {ProgramDirectoryOf(MonitorServerPath(path, windows10)), FolderPlace::kHolds});
  checked.push_back({below + Zentu::kSkinRootFolder, FolderPlace::kAbove});
  checked.push_back({below + Zentu::kSkinRootFolder + Zentu::kThemeFolder, FolderPlace::kHolds});
  return checked;
}

// Where `folder` really is, past any link on the way.
std::wstring FinalFolder(const std::wstring& folder) {
  const UniqueFileHandle handle(::CreateFileW(
      folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  wchar_t final_path[MAX_PATH * 2];
  if (!handle) return {};
  const DWORD n =
      ::GetFinalPathNameByHandleW(handle.get(), final_path, std::size(final_path), VOLUME_NAME_DOS);
  if (n == 0 || n >= std::size(final_path)) return {};
  return std::wstring(PlainFinalPath(std::wstring_view(final_path, n)));
}

bool Missing(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
         (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND);
}

std::string Joined(const std::vector<std::string>& sids) {
  std::string text;
  for (const std::string& sid : sids) text += (text.empty() ? "" : ", ") + sid;
  return text;
}

}  // namespace

std::optional<ObjectSecurity> DescribeSecurity(PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL list = nullptr;
  if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted))
    return std::nullopt;
  ObjectSecurity security;
  security.owner = SidText(owner);
  security.has_access_list = present && list;
  for (DWORD i = 0; security.has_access_list && i < list->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(list, i, &ace)) return std::nullopt;
    security.entries.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
  }
  return security;
}

std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return std::nullopt;
  std::optional<ObjectSecurity> security = DescribeSecurity(descriptor);
  ::LocalFree(descriptor);
  return security;
}

std::string WhoElseCanChange(const std::wstring& folder, const SecurityReader& read) {
  const std::wstring final_folder = FinalFolder(folder);
  const std::optional<DrivePath> split = SplitDrivePath(final_folder);
  if (!split) return LogText(folder) + " cannot be followed to a folder on a drive";
  for (const Checked& checked : FoldersOf(*split)) {
    if (Missing(checked.path)) continue;  // a subfolder the program does not have
    const std::optional<ObjectSecurity> security = read(checked.path);
    if (!security) return "the access list of " + LogText(checked.path) + " cannot be read";
    const std::vector<std::string> others = OtherWriters(*security, checked.place);
    if (!others.empty()) return LogText(checked.path) + " can be changed by " + Joined(others);
  }
  return {};
}

bool CreateStartupTaskIfTrusted(const std::wstring& folder, const SecurityReader& read,
                                const TaskServiceFactory& create_service, std::FILE* errors) {
  const std::string others = WhoElseCanChange(folder, read);
  if (!others.empty()) {
    LogPrint(Warn, "logon task not registered: %s", others.c_str());
    return false;
  }
  CreateStartupTask(create_service, errors);
  return true;
}

bool CreateStartupTaskIfTrusted() {
  return CreateStartupTaskIfTrusted(GetProgramDirectory(), ReadObjectSecurity,
                                    CreateTaskSchedulerService, stderr);
}

}  // namespace calorix
