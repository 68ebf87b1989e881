// Locating the per-user work folder through the shell.
#include "app/system/work_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <system_error>

#include "app/system/log.h"
#include "app/system/settings.h"

namespace calorix {

std::filesystem::path WorkFolder() {
  wchar_t local[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local))) return {};
  std::filesystem::path folder =
      std::filesystem::path(local) / (std::wstring(kAppName) + L" Files");
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

bool OpenLogInWorkFolder(const wchar_t* file_name) {
  const auto folder = WorkFolder();
  return !folder.empty() && LogOpen(folder / file_name);
}

bool OpenProgramLog() { return OpenLogInWorkFolder(L"calorix.log"); }

}  // namespace calorix
