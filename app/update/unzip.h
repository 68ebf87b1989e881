// Folder chains and the unpacking of update archives (zlib and minizip).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/base/handles.h"

namespace calorix {

// Creates `path` and every folder above it that is missing (backslash-separated, with a
// drive). Returns whether the folder exists afterwards.
bool CreateFolderChain(const std::wstring& path);

// What an archive may hold. An archive whose directory goes over any of these is not
// unpacked at all: a few hundred kilobytes of zeros would otherwise fill the disk.
inline constexpr unsigned long long kMaxArchiveBytes = 256ull << 20;  // the download itself
inline constexpr unsigned long long kMaxArchiveEntries = 10000;
inline constexpr unsigned long long kMaxEntryBytes = 256ull << 20;
inline constexpr unsigned long long kMaxUnpackedBytes = 256ull << 20;

// What one UnzipAll did with the entries.
struct UnzipReport {
  // Cleaned names (relative, backslash-separated) of the files written completely: every
  // byte the entry announced, inflated without error, checksum verified.
  std::vector<std::wstring> complete;
  int skipped = 0;  // entries rejected, damaged or not writable
  // The cap the archive's directory went over ("more than 10000 entries", ...); empty when
  // it stayed within all of them. Nothing was unpacked then.
  std::string over_cap;
  // The files asked to be held, when written completely: open for reading only, shared for
  // reading only, so that nobody can change, rename or delete them while they are held.
  std::vector<std::pair<std::wstring, UniqueFileHandle>> held;

  bool Contains(std::wstring_view name) const;  // ignoring case, as Windows names do
  HANDLE Held(std::wstring_view name) const;    // INVALID_HANDLE_VALUE when not held
};

// Unpacks every entry of `archive` under `destination`; an entry that fails is skipped and
// the next one is tried. Returns whether the archive could be opened.
bool UnzipAll(const std::wstring& archive, const std::wstring& destination,
              UnzipReport* report = nullptr);
// The same, reading the archive through `archive` (positioned anywhere; it stays open), and
// holding the files named in `hold` (cleaned names) in the report.
bool UnzipAll(HANDLE archive, const std::wstring& destination,
              const std::vector<std::wstring>& hold, UnzipReport* report);

}  // namespace calorix
