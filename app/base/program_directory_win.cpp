// The running executable's folder, from the system.
#include <windows.h>

#include <vector>

#include "app/base/program_directory.h"

namespace calorix {

std::wstring GetProgramDirectory() {
  // Paths longer than MAX_PATH are truncated silently (ERROR_INSUFFICIENT_BUFFER on newer
  // systems, none on XP-era ones): grow until the whole path fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::wstring();
    if (n < buffer.size() || buffer.size() >= 32768) {
      return ProgramDirectoryOf(std::wstring_view(buffer.data(), n));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace calorix
