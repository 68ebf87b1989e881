// Helpers of the server and start-up task tests.
#include "tests/win/server_test_support.h"

#include "tests/win/win_test_support.h"
#include "ui/core/win_handles.h"

namespace calorix::test {
namespace {

namespace fs = std::filesystem;

// A file opened for a child's output, deleted when closed.
Zentu::UniqueFileHandle OutputFile(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return Zentu::UniqueFileHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

std::string ReadAll(HANDLE file) {
  ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  return text;
}

}  // namespace

std::wstring UniqueName(const std::wstring& stem) {
  static int serial = 0;
  return stem + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
}

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + UniqueName(L"calorix_server") + L"\\";
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void CopyExe(const std::wstring& bin_name, const std::wstring& destination) {
  fs::create_directories(fs::path(destination).parent_path());
  fs::copy_file(ProgramFolder() + bin_name, destination, fs::copy_options::overwrite_existing);
}

CapturedFile::CapturedFile() {
  path_ = fs::temp_directory_path() / (UniqueName(L"captured") + L".txt");
  file_ = _wfopen(path_.c_str(), L"w+b");
}

CapturedFile::~CapturedFile() {
  if (file_) std::fclose(file_);
  std::error_code ignored;
  fs::remove(path_, ignored);
}

std::string CapturedFile::Text() const {
  std::fflush(file_);
  std::rewind(file_);
  std::string text;
  for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
  return text;
}

Finished RunCaptured(const std::wstring& command_line, DWORD timeout_ms) {
  Finished result;
  const std::wstring base = (fs::temp_directory_path() / UniqueName(L"child")).wstring();
  Zentu::UniqueFileHandle out = OutputFile(base + L".out");
  Zentu::UniqueFileHandle err = OutputFile(base + L".err");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  PROCESS_INFORMATION pi{};
  std::wstring line = command_line;
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &pi)) {
    return result;
  }
  Zentu::UniqueKernelHandle process(pi.hProcess);
  ::CloseHandle(pi.hThread);
  result.pid = pi.dwProcessId;
  if (::WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.get(), &result.exit_code);
  } else {
    ::TerminateProcess(process.get(), 1);
  }
  result.out = ReadAll(out.get());
  result.err = ReadAll(err.get());
  return result;
}

Publisher::Publisher(const std::wstring& args) {
  HANDLE in_read, in_write, out_read, out_write;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  ::CreatePipe(&in_read, &in_write, &inherit, 0);
  ::CreatePipe(&out_read, &out_write, &inherit, 0);
  ::SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  input_.reset(in_write);
  Zentu::UniqueKernelHandle output(out_read);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in_read;
  si.hStdOutput = si.hStdError = out_write;
  std::wstring line = Quote(ProgramFolder() + L"sensor_publisher.exe") + L" " + args;
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
    process_.reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
  }
  ::CloseHandle(in_read);
  ::CloseHandle(out_write);
  char text[256];
  DWORD n = 0;
  std::string said;
  while (said.find("publishing") == std::string::npos &&
         ::ReadFile(output.get(), text, sizeof text, &n, nullptr) && n) {
    said.append(text, n);
  }
  ready_ = said.find("publishing") != std::string::npos;
}

void Publisher::Stop() {
  input_.reset();
  if (process_) ::WaitForSingleObject(process_.get(), 10000);
}

}  // namespace calorix::test
