// Helpers of the update tests.
#include "tests/win/update_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "app/system/work_folder.h"
#include "app/update/update_plan.h"
#include "tests/win/win_test_support.h"

namespace calorix::test {

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
  return length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::wstring SiteUrl(std::wstring_view site) {
  return Env(L"CALORIX_TEST_HTTP") + L"/" + std::wstring(site);
}

std::wstring SiteFolder(std::wstring_view site, std::wstring_view channel) {
  return Env(L"CALORIX_TEST_SITE") + L"\\" + std::wstring(site) + L"\\q7rb\\" +
         std::wstring(channel) + L"\\";
}

std::optional<UpdateKey> TestKey() { return ParseUpdateKey(ToNarrow(Env(L"CALORIX_TEST_KEY"))); }

std::vector<std::wstring> Subfolders(const std::wstring& root) {
  std::vector<std::wstring> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(root, ec))
    if (entry.is_directory(ec)) names.push_back(entry.path().filename().wstring());
  return names;
}

std::vector<std::wstring> FilesInSubfolders(const std::wstring& root, const std::wstring& name) {
  std::vector<std::wstring> found;
  for (const std::wstring& folder : Subfolders(root))
    if (FileExists(root + folder + L"\\" + name)) found.push_back(root + folder + L"\\" + name);
  return found;
}

std::string ToNarrow(std::wstring_view ascii) { return std::string(ascii.begin(), ascii.end()); }

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::uint32_t AttributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

void RemoveTree(const std::wstring& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ec))
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  std::filesystem::remove_all(path, ec);
}

std::wstring FreshFolder(std::wstring_view name) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"calorix-" + std::wstring(name) + L"\\";
  RemoveTree(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

HWND CreateResultWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CalorixUpdateResultWindow";
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(0, wc.lpszClassName, L"results", WS_POPUP, 0, 0, 10, 10, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

std::optional<std::pair<WPARAM, LPARAM>> TakeUpdateResult(HWND window) {
  MSG message;
  if (!::PeekMessageW(&message, window, WM_UPDATE_RESULT, WM_UPDATE_RESULT, PM_REMOVE))
    return std::nullopt;
  return std::make_pair(message.wParam, message.lParam);
}

LogWatch::LogWatch() : path_((WorkFolder() / L"calorix.log").wstring()) {
  std::error_code ec;
  start_ = std::filesystem::file_size(path_, ec);
  if (ec) start_ = 0;
}

std::string LogWatch::Text() const {
  const std::string all = ReadFileBytes(path_);
  return all.size() >= start_ ? all.substr(start_) : all;  // rotated meanwhile: all of it
}

bool LogWatch::WaitFor(std::string_view text, DWORD timeout_ms) const {
  return test::WaitFor([&] { return Text().find(text) != std::string::npos; }, timeout_ms);
}

}  // namespace calorix::test
