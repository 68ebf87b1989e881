// Opening, making and renaming through handles relative to held folders, and the checks that
// an opened entry is itself and no link.
#include "app/system/held_path.h"

#include <optional>

#include "app/base/utf8_text.h"
#include "app/system/link_checks.h"

namespace calorix {
namespace {

constexpr LONG kNameNotFound = static_cast<LONG>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr LONG kNoSuchFile = static_cast<LONG>(0xC000000F);    // Wine, for a dangling link
constexpr LONG kNameCollision = static_cast<LONG>(0xC0000035);
constexpr ULONG kFileOptions =
    FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
constexpr FILE_INFORMATION_CLASS kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(handle, path.data(),
                                                static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);  // the size asked for, with its NUL
  }
}

OpenedFacts FactsOf(HANDLE handle, const std::wstring& path, bool file) {
  OpenedFacts facts;
  facts.path_attributes = ::GetFileAttributesW(path.c_str());
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    facts.handle_attributes = tag.FileAttributes;
    facts.reparse_tag = tag.ReparseTag;
  } else {
    facts.handle_attributes = FILE_ATTRIBUTE_REPARSE_POINT;  // what cannot be told is refused
  }
  if (FILE_STANDARD_INFO standard{}; file) {
    facts.link_count =
        ::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)
            ? standard.NumberOfLinks
            : 0;
  }
  facts.final_path = FinalPath(handle);
  return facts;
}

std::wstring Below(const std::wstring& folder, std::wstring_view name) {
  std::wstring path = folder;
  if (path.back() != L'\\') path += L'\\';
  return path.append(name);
}

}  // namespace

UniqueKernelHandle OpenChild(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                             ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security,
                             ULONG sharing, LONG* status) {
  UNICODE_STRING unicode;
  unicode.Buffer = const_cast<PWSTR>(name.data());
  unicode.Length = unicode.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS result =
      ::NtCreateFile(&handle, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, sharing,
                     disposition, options, nullptr, 0);
  if (status) *status = result;
  return UniqueKernelHandle(NT_SUCCESS(result) ? handle : nullptr);
}

UniqueKernelHandle OpenOrMakeChild(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                                   ULONG options, PSECURITY_DESCRIPTOR security, ULONG sharing) {
  // Not FILE_OPEN_IF: Wine makes the target of a dangling Unix link. FILE_CREATE fails on any
  // name that exists, a link included; one more open then takes what another program made.
  LONG status = 0;
  UniqueKernelHandle child =
      OpenChild(parent, name, access, FILE_OPEN, options, nullptr, sharing, &status);
  if (child || (status != kNameNotFound && status != kNoSuchFile)) return child;
  child = OpenChild(parent, name, access, FILE_CREATE, options, security, sharing, &status);
  if (child || status != kNameCollision) return child;
  return OpenChild(parent, name, access, FILE_OPEN, options, nullptr, sharing);
}

bool HandleIsLink(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return !::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string WhyNotItself(HANDLE handle, const std::wstring& path, bool file) {
  const OpenedFacts facts = FactsOf(handle, path, file);
  const Opened opened = Judge(facts, path, file, &SamePath);
  if (opened == Opened::kItself) return {};
  std::string why = LogText(path) + " " + OpenedText(opened);
  if (opened == Opened::kElsewhere) why += " (" + LogText(PlainFinalPath(facts.final_path)) + ")";
  return why;
}

HeldFolders HeldFolders::Hold(const std::wstring& path, std::size_t make_from,
                              PSECURITY_DESCRIPTOR security) {
  HeldFolders held;
  const std::optional<DrivePath> split = SplitDrivePath(path);
  if (!split) {
    held.why_ = LogText(path) + " is not a plain path on a drive";
    return held;
  }
  held.path_ = split->root;
  const HANDLE root = ::CreateFileW(held.path_.c_str(), kHeldFolderAccess, kHeldFolderSharing,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  held.handles_.emplace_back(root == INVALID_HANDLE_VALUE ? nullptr : root);
  for (std::size_t i = 0;; ++i) {
    if (!held.handles_.back()) {
      held.why_ = "cannot open " + LogText(held.path_);
      break;
    }
    held.why_ = WhyNotItself(held.handles_.back().get(), held.path_, false);
    if (!held.why_.empty() || i == split->names.size()) break;
    held.path_ = JoinDrivePath(*split, i + 1);
    const HANDLE parent = held.handles_.back().get();
    held.handles_.push_back(
        i >= make_from
            ? OpenOrMakeChild(parent, split->names[i], kHeldFolderAccess, kHeldFolderOptions,
                              security, kHeldFolderSharing)
            : OpenChild(parent, split->names[i], kHeldFolderAccess, FILE_OPEN, kHeldFolderOptions));
  }
  return held;
}

UniqueKernelHandle OpenFileIn(const HeldFolders& folder, std::wstring_view name, ACCESS_MASK access,
                              ULONG sharing, std::string* why) {
  if (!folder.held()) {
    *why = folder.why();
    return {};
  }
  const std::wstring path = Below(folder.path(), name);
  UniqueKernelHandle file =
      OpenOrMakeChild(folder.last(), name, access, kFileOptions, nullptr, sharing);
  if (!file) {
    *why = "cannot open " + LogText(path);
    return {};
  }
  *why = WhyNotItself(file.get(), path, true);
  if (!why->empty()) file.reset();
  return file;
}

bool RenameInto(HANDLE file, HANDLE folder, std::wstring_view name) {
  // NtSetInformationFile, not SetFileInformationByHandle: Wine's turns the name into a path
  // below the current directory, which it then refuses beside a root folder.
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  name.copy(rename->FileName, name.size());
  IO_STATUS_BLOCK io{};
  return NT_SUCCESS(::NtSetInformationFile(file, &io, rename, static_cast<ULONG>(buffer.size()),
                                           kFileRenameInformation));
}

}  // namespace calorix
