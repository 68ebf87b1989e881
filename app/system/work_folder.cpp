// Locating the per-user work folder through the shell.
#include "app/system/work_folder.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "app/system/log.h"
#include "app/system/log_store.h"
#include "app/system/settings.h"

namespace calorix {

std::filesystem::path WorkFolder() {
  PWSTR local = nullptr;
  std::filesystem::path folder;
  // The default path follows the profile, which only administrators place; the current one
  // follows "User Shell Folders", which the user can point anywhere.
  if (SUCCEEDED(
          ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT_PATH, nullptr, &local)))
    folder = std::filesystem::path(local) / (std::wstring(kAppName) + L" Files");
  ::CoTaskMemFree(local);
  return folder;
}

bool OpenLogInWorkFolder(const wchar_t* file_name) {
  const auto folder = WorkFolder();
  return !folder.empty() && LogOpenIn(folder.wstring(), file_name, true, kDefaultLogLimit);
}

bool OpenProgramLog() { return OpenLogInWorkFolder(L"calorix.log"); }

}  // namespace calorix
