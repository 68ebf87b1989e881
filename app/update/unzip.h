// Folder chains and the unpacking of update archives (zlib and minizip).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace calorix {

// Creates `path` and every folder above it that is missing (backslash-separated, with a
// drive). Returns whether the folder exists afterwards.
bool CreateFolderChain(const std::wstring& path);

// What one UnzipAll did with the entries.
struct UnzipReport {
  // Cleaned names (relative, backslash-separated) of the files written completely: every
  // byte the entry announced, inflated without error, checksum verified.
  std::vector<std::wstring> complete;
  int skipped = 0;  // entries rejected, damaged or not writable

  bool Contains(std::wstring_view name) const;  // ignoring case, as Windows names do
};

// Unpacks every entry of `archive` under `destination`; an entry that fails is skipped and
// the next one is tried. Returns whether the archive could be opened.
bool UnzipAll(const std::wstring& archive, const std::wstring& destination,
              UnzipReport* report = nullptr);

}  // namespace calorix
