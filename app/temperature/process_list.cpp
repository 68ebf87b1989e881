// Walking the system's process list.
#include "app/temperature/process_list.h"

#include <tlhelp32.h>

#include "app/base/handles.h"

namespace calorix {

std::optional<std::vector<DWORD>> FindProcessesByName(const wchar_t* name, std::size_t limit) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::nullopt;
  std::vector<DWORD> ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more && ids.size() < limit;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    // Ordinal, not locale-aware: file names compare like the file system does.
    if (::CompareStringOrdinal(entry.szExeFile, -1, name, -1, TRUE) == CSTR_EQUAL)
      ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

}  // namespace calorix
