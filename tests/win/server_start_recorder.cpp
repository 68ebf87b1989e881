// Test program standing in for a started executable: appends the command line it was given
// to "starts.txt" beside itself, then stays for --wait-ms milliseconds if asked.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  return out;
}

// Several copies may start at once: each line goes out in one append.
void AppendLine(const std::wstring& file, const std::string& line) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE h = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      ::CloseHandle(h);
      return;
    }
    ::Sleep(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  AppendLine(OwnFolder() + L"starts.txt", Utf8(::GetCommandLineW()) + "\n");
  if (argc == 3 && std::strcmp(argv[1], "--wait-ms") == 0) ::Sleep(std::atoi(argv[2]));
  return 0;
}
