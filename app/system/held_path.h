// Folders and files reached one name at a time from the volume's root, each opened relative to
// the folder above it, held open while used and never followed through a link: what the
// elevated program writes, renames or deletes stays where it meant it to be, whoever can
// write the folders on the way.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/base/handles.h"

namespace calorix {

// Listing access takes part in the sharing check (attribute-only handles do not), so a held
// folder cannot be opened for deletion, which renaming needs too.
inline constexpr ACCESS_MASK kHeldFolderAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Other programs may still read and write in a held folder; nobody may rename or delete it.
inline constexpr ULONG kHeldFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// NtCreateFile's options for a folder opened as itself.
inline constexpr ULONG kHeldFolderOptions =
    FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;

// `name` inside the folder `parent`, relative to its handle: no path is looked up again, and a
// link is opened as itself (on Windows; Wine follows a Unix link, which Check then finds).
// `disposition` and `options` as NtCreateFile takes them; `status` gets its result.
UniqueKernelHandle OpenChild(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                             ULONG disposition, ULONG options,
                             PSECURITY_DESCRIPTOR security = nullptr,
                             ULONG sharing = kHeldFolderSharing, LONG* status = nullptr);

// The same, made with `security` when missing. A name that exists only as a dangling link is
// neither opened nor made (Wine would make the link's target).
UniqueKernelHandle OpenOrMakeChild(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                                   ULONG options, PSECURITY_DESCRIPTOR security, ULONG sharing);

// Whether the handle shows a reparse point (or cannot say).
bool HandleIsLink(HANDLE handle);

// Why the entry opened as `handle` for `path` is not that entry itself ("<path> is a link",
// "<path> leads to <elsewhere>", ...); empty when it is. `file` asks about hard links too.
std::string WhyNotItself(HANDLE handle, const std::wstring& path, bool file);

// Every folder of a path, from the volume's root down, held open while this lives.
class HeldFolders {
 public:
  // Holds each folder of `path` (a drive, then folder names; a trailing backslash is allowed).
  // From the `make_from`th name below the root on, a missing folder is made with `security`.
  // A folder that is a link, or leads elsewhere, is refused: why() says which and how.
  static HeldFolders Hold(const std::wstring& path, std::size_t make_from,
                          PSECURITY_DESCRIPTOR security = nullptr);

  HeldFolders() = default;
  HeldFolders(HeldFolders&&) = default;
  HeldFolders& operator=(HeldFolders&&) = default;

  bool held() const { return why_.empty() && !handles_.empty(); }
  const std::string& why() const { return why_; }
  // The last folder (null unless held) and its path, without a trailing backslash.
  HANDLE last() const { return held() ? handles_.back().get() : nullptr; }
  const std::wstring& path() const { return path_; }

 private:
  std::vector<UniqueKernelHandle> handles_;  // owned: from the root down
  std::wstring path_;
  std::string why_;  // empty when every folder is held
};

// Opens the file `name` inside `folder` for `access`, making it when missing. Refused (null,
// `why` says why) when it is a link, has another name besides this one, or leads elsewhere.
UniqueKernelHandle OpenFileIn(const HeldFolders& folder, std::wstring_view name, ACCESS_MASK access,
                              ULONG sharing, std::string* why);

// Renames the open `file` (opened with DELETE access) to `name` inside `folder`, replacing
// what has that name: a link is replaced as itself, never what it points to.
bool RenameInto(HANDLE file, HANDLE folder, std::wstring_view name);

}  // namespace calorix
