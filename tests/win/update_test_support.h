// Shared by the update tests: the test server's addresses (from tests/fixtures/update),
// files and folders, the program log, and results posted to a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/update/signature_format.h"

namespace calorix::test {

// An environment variable set by the test server's wrapper; empty when unset.
std::wstring Env(const wchar_t* name);
// The test server's plain-HTTP base URL for one site ("ok", "missing", ...).
std::wstring SiteUrl(std::wstring_view site);
// Where a site's channel files live on disk: <site root>\<site>\q7rb\<channel>\ .
std::wstring SiteFolder(std::wstring_view site, std::wstring_view channel);

// The test server's update key (its public half), or nothing outside update_site.py.
std::optional<UpdateKey> TestKey();
// Paths of the files called `name` in the folders directly under `root` (which ends with a
// backslash), and the names of those folders.
std::vector<std::wstring> FilesInSubfolders(const std::wstring& root, const std::wstring& name);
std::vector<std::wstring> Subfolders(const std::wstring& root);

// ASCII text as bytes.
std::string ToNarrow(std::wstring_view ascii);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
bool FileExists(const std::wstring& path);
std::uint32_t AttributesOf(const std::wstring& path);
// Deletes a file or folder tree, read-only members included.
void RemoveTree(const std::wstring& path);
// An empty folder %TEMP%\calorix-<name>\ (with the trailing backslash).
std::wstring FreshFolder(std::wstring_view name);

// A hidden window of this thread that WM_UPDATE_RESULT can be posted to.
HWND CreateResultWindow();
// The next WM_UPDATE_RESULT waiting for `window`, as (wParam, lParam).
std::optional<std::pair<WPARAM, LPARAM>> TakeUpdateResult(HWND window);

// Watches the program log from the moment it is made.
class LogWatch {
 public:
  LogWatch();
  // What was written to the log since then.
  std::string Text() const;
  bool WaitFor(std::string_view text, DWORD timeout_ms) const;

 private:
  std::wstring path_;
  std::uint64_t start_ = 0;
};

}  // namespace calorix::test
