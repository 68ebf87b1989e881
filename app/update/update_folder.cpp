// Making, holding and removing update folders through handles, so that what is written and
// started is never redirected by a link or a rename, whoever made the folders above it.
#include "app/update/update_folder.h"

#include <winternl.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "app/base/utf8_text.h"
#include "app/system/settings.h"

namespace calorix {
namespace {

// Protected (no inherited entries); SYSTEM and Administrators full control; Users read and
// execute; every entry inherited by what is made inside.
constexpr wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// Nobody may open the update folder itself for writing.
constexpr ULONG kSharedUpdate = FILE_SHARE_READ;

struct LocalMemoryTraits {
  using type = PSECURITY_DESCRIPTOR;
  static type invalid() { return nullptr; }
  void close(type p) const { ::LocalFree(p); }
};

std::wstring ProgramDataFolder() {
  PWSTR known = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &known))) folder = known;
  ::CoTaskMemFree(known);
  return folder;
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
  UniqueHandle<LocalMemoryTraits> security;
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
  HeldFolders chain = HeldFolders::Hold(root, ours, security.get());
  if (!chain.held()) {
    *why = chain.why();
    return std::nullopt;
  }
  UpdateFolder folder;
  folder.chain_ = std::move(chain);
  for (unsigned attempt = 0; attempt < 16 && !folder.folder_; ++attempt) {
    folder.name_ = FreshName(attempt);
    // FILE_CREATE: made now, or not at all; never an existing folder of that name.
    folder.folder_ = OpenChild(folder.chain_.last(), folder.name_, kHeldFolderAccess, FILE_CREATE,
                               kHeldFolderOptions, security.get(), kSharedUpdate);
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
  RemoveEntry(chain_.last(), name_, false);
}

void RemoveLeftoverUpdateFolders() {
  const std::wstring root = UpdateFolderRoot();
  if (root.empty()) return;
  // Nothing is made here: without the folders there is nothing to remove.
  const HeldFolders chain = HeldFolders::Hold(root, SIZE_MAX);
  if (!chain.held()) return;
  for (const auto& [name, link] : ListFolder(chain.last())) RemoveEntry(chain.last(), name, link);
}

}  // namespace calorix
