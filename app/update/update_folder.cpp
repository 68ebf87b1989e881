// Making, holding and removing update folders through handles, so that what is written and
// started is never redirected by a link or a rename, whoever made the folders above it.
#include "app/update/update_folder.h"

#include <winternl.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/update/http_fetch.h"

namespace calorix {
namespace {

using Zentu::UniqueKernelHandle;

// Protected (no inherited entries); SYSTEM and Administrators full control; Users read and
// execute; every entry inherited by what is made inside.
constexpr wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Listing access takes part in the sharing check (attribute-only handles do not), so a held
// folder cannot be opened for deletion, which renaming needs too.
constexpr ACCESS_MASK kHeldAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// The folders above are shared for writing, as other programs may need them to be; nobody
// may open the update folder itself for writing.
constexpr ULONG kSharedAbove = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kSharedUpdate = FILE_SHARE_READ;
constexpr ULONG kFolderOptions =
    FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;

struct LocalMemoryTraits {
  using type = PSECURITY_DESCRIPTOR;
  static type invalid() { return nullptr; }
  void close(type p) const { ::LocalFree(p); }
};

// `name` inside the folder `parent`, relative to its handle: no path is looked up again, and
// a link is opened as itself (on Windows; see IsLink for Wine).
UniqueKernelHandle OpenChild(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                             ULONG disposition, ULONG options,
                             PSECURITY_DESCRIPTOR security = nullptr,
                             ULONG sharing = kSharedAbove) {
  UNICODE_STRING unicode;
  unicode.Buffer = const_cast<PWSTR>(name.data());
  unicode.Length = unicode.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      ::NtCreateFile(&handle, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, sharing,
                     disposition, options, nullptr, 0);
  return UniqueKernelHandle(NT_SUCCESS(status) ? handle : nullptr);
}

bool HandleIsLink(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine opens the target of a Unix symbolic link even when asked for the link itself, and
// shows the link only in its path's attributes.
bool IsLink(HANDLE handle, const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return HandleIsLink(handle) || attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring ProgramDataFolder() {
  PWSTR known = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known))) folder = known;
  ::CoTaskMemFree(known);
  return folder;
}

struct HeldChain {
  std::vector<UniqueKernelHandle> handles;  // from the volume's root to the root's last folder
  std::string why;                          // empty when every folder is held
};

// Holds each folder of `path` (a drive, then folders ending in a backslash); from the
// `create_from`th folder below the drive on, a missing folder is made with `security`.
HeldChain HoldFolders(const std::wstring& path, std::size_t create_from,
                      PSECURITY_DESCRIPTOR security) {
  HeldChain chain;
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\') {
    chain.why = "the update folder is not on a drive";
    return chain;
  }
  HANDLE root = ::CreateFileW(path.substr(0, 3).c_str(), kHeldAccess, kSharedAbove, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  chain.handles.emplace_back(root == INVALID_HANDLE_VALUE ? nullptr : root);
  for (std::size_t start = 3, index = 0; chain.why.empty() && start < path.size(); ++index) {
    if (!chain.handles.back()) {
      chain.why = "cannot open " + LogText(path.substr(0, start));
      break;
    }
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring name = path.substr(start, end - start);
    const std::wstring so_far = path.substr(0, end);
    const bool create = index >= create_from;
    UniqueKernelHandle folder =
        OpenChild(chain.handles.back().get(), name, kHeldAccess, create ? FILE_OPEN_IF : FILE_OPEN,
                  kFolderOptions, create ? security : nullptr);
    if (folder && IsLink(folder.get(), so_far)) chain.why = LogText(so_far) + " is a link";
    chain.handles.push_back(std::move(folder));
    start = end + 1;
  }
  if (chain.why.empty() && !chain.handles.back()) chain.why = "cannot open " + LogText(path);
  return chain;
}

// The names inside a folder, without "." and "..", and whether each is listed as a link.
std::vector<std::pair<std::wstring, bool>> ListFolder(HANDLE folder) {
  std::vector<std::pair<std::wstring, bool>> names;
  alignas(8) char buffer[8192];
  // The "both" listing, as Windows 7 has no other by handle.
  auto kind = FileIdBothDirectoryRestartInfo;
  while (::GetFileInformationByHandleEx(folder, kind, buffer, sizeof buffer)) {
    kind = FileIdBothDirectoryInfo;
    for (const char* at = buffer;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..")
        names.emplace_back(std::move(name), (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT));
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return names;
}

// Deletes `name` inside `parent`; a folder with everything in it, a link as itself (never
// what it points to). Returns whether it is gone.
bool RemoveEntry(HANDLE parent, const std::wstring& name, bool listed_as_link) {
  UniqueKernelHandle entry = OpenChild(
      parent, name,
      DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
      FILE_OPEN, FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT);
  if (!entry) return false;
  const bool link = HandleIsLink(entry.get());
  // Listed as a link but opened as something else: Wine followed it. Neither is touched.
  if (listed_as_link && !link) return false;
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof basic))
    return false;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link) {
    for (const auto& [child, child_link] : ListFolder(entry.get()))
      RemoveEntry(entry.get(), child, child_link);
  }
  if (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) {
    basic.FileAttributes =
        (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  return ::SetFileInformationByHandle(entry.get(), FileDispositionInfo, &dispose, sizeof dispose);
}

// A folder name no earlier update used: the process id and the time.
std::wstring FreshName(unsigned attempt) {
  wchar_t name[40];
  std::swprintf(name, std::size(name), L"%08lx%012llx", ::GetCurrentProcessId(),
                static_cast<unsigned long long>(::GetTickCount64() + attempt));
  return name;
}

}  // namespace

std::wstring UpdateFolderRoot() {
  const std::wstring data = ProgramDataFolder();
  if (data.empty()) return {};
  return data + L"\\" + kAppName + L" Files\\update\\";
}

std::optional<UpdateFolder> UpdateFolder::Create(std::string* why) {
  const std::wstring root = UpdateFolderRoot();
  Zentu::UniqueHandle<LocalMemoryTraits> security;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (root.empty() || !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          kFolderSecurity, SDDL_REVISION_1, &raw, nullptr)) {
    *why = "no place for the update folder";
    return std::nullopt;
  }
  security.reset(raw);
  // Of the folders below the drive, the last two ("KEM Files" and "update") are ours; the
  // ones above are the system's, and are never made here.
  const std::size_t ours =
      static_cast<std::size_t>(std::count(root.begin(), root.end(), L'\\') - 3);
  HeldChain chain = HoldFolders(root, ours, security.get());
  if (!chain.why.empty()) {
    *why = chain.why;
    return std::nullopt;
  }
  UpdateFolder folder;
  folder.chain_ = std::move(chain.handles);
  for (unsigned attempt = 0; attempt < 16 && !folder.folder_; ++attempt) {
    folder.name_ = FreshName(attempt);
    // FILE_CREATE: made now, or not at all; never an existing folder of that name.
    folder.folder_ = OpenChild(folder.chain_.back().get(), folder.name_, kHeldAccess, FILE_CREATE,
                               kFolderOptions, security.get(), kSharedUpdate);
  }
  if (!folder.folder_) {
    *why = "cannot make a folder in " + LogText(root);
    return std::nullopt;
  }
  folder.path_ = root + folder.name_ + L"\\";
  return folder;
}

void UpdateFolder::Remove() {
  if (!folder_) return;
  folder_.reset();
  RemoveEntry(chain_.back().get(), name_, false);
}

void RemoveLeftoverUpdateFolders() {
  const std::wstring root = UpdateFolderRoot();
  if (root.empty()) return;
  // Nothing is made here: without the folders there is nothing to remove.
  HeldChain chain = HoldFolders(root, SIZE_MAX, nullptr);
  if (!chain.why.empty()) return;
  for (const auto& [name, link] : ListFolder(chain.handles.back().get()))
    RemoveEntry(chain.handles.back().get(), name, link);
}

}  // namespace calorix
