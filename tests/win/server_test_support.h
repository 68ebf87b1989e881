// Helpers of the server and start-up task tests: unique names, captured output, children.
#pragma once

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ui/core/win_handles.h"

namespace calorix::test {

inline std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// `stem` made unique to this process and call.
std::wstring UniqueName(const std::wstring& stem);

// A temporary file to hand to code that writes to a FILE*; removed at the end.
class CapturedFile {
 public:
  CapturedFile();
  ~CapturedFile();
  CapturedFile(const CapturedFile&) = delete;
  CapturedFile& operator=(const CapturedFile&) = delete;
  std::FILE* file() const { return file_; }
  std::string Text() const;

 private:
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;  // owned
};

// A fresh folder below the temp folder (no spaces in its own path), removed at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }  // ends in a backslash

 private:
  std::wstring path_;
};

// Copies the build's program `bin_name` to `destination`, creating its folder.
void CopyExe(const std::wstring& bin_name, const std::wstring& destination);

struct Finished {
  DWORD pid = 0;
  DWORD exit_code = STILL_ACTIVE;  // also when it was ended after the timeout
  std::string out, err;            // raw bytes, as the child's streams wrote them
};

// sensor_publisher.exe with `args`, its input and output piped; ready once it says that it
// publishes. Ended with its input.
class Publisher {
 public:
  explicit Publisher(const std::wstring& args);
  ~Publisher() { Stop(); }
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;
  bool ready() const { return ready_; }
  // Ends its input: it leaves as its monitor does.
  void Stop();

 private:
  Zentu::UniqueKernelHandle process_, input_;  // owned
  bool ready_ = false;
};

// Runs `command_line` to its end (at most `timeout_ms`) with standard output and error
// captured in files, so a child that leaves grandchildren holding them cannot block us.
Finished RunCaptured(const std::wstring& command_line, DWORD timeout_ms);

}  // namespace calorix::test
