// Starting, watching and ending the hardware-monitor server under Wine, with the server
// replaced by programs that record how they were started.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/temperature/monitor_server.h"
#include "tests/win/server_test_support.h"
#include "tests/win/win_test_support.h"
#include "ui/core/win_handles.h"

namespace calorix {
namespace {

namespace fs = std::filesystem;
using test::CapturedFile;
using test::CopyExe;
using test::Finished;
using test::ProgramFolder;
using test::Quote;
using test::RunCaptured;
using test::TempFolder;
using test::UniqueName;
using test::WaitFor;

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                   out.data(), static_cast<int>(out.size())));
  return out;
}

// The command lines the recorder in `folder` was started with.
std::vector<std::wstring> Starts(const std::wstring& folder) {
  std::vector<std::wstring> lines;
  std::ifstream in(fs::path(folder + L"starts.txt"), std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(Wide(line));
  return lines;
}

// Wine's version for one executable name, removed again at the end.
class AppVersionOverride {
 public:
  AppVersionOverride(const std::wstring& exe_name, const wchar_t* version)
      : key_(L"Software\\Wine\\AppDefaults\\" + exe_name) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) == ERROR_SUCCESS) {
      Zentu::UniqueRegKey owned(key);
      ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    }
  }
  ~AppVersionOverride() { ::RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::wstring key_;
};

// Processes named `name` that `parent` started.
std::vector<DWORD> ChildrenNamed(DWORD parent, const wchar_t* name) {
  std::vector<DWORD> pids;
  Zentu::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, name) == 0)
      pids.push_back(entry.th32ProcessID);
  }
  return pids;
}

void EndProcess(DWORD pid) {
  Zentu::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  if (!process) return;
  ::TerminateProcess(process.get(), 1);
  ::WaitForSingleObject(process.get(), 5000);
}

// A program folder whose path has spaces, "<root>\dir with spaces\", with a decoy at
// "<root>\dir.exe": what an unquoted command line through that folder would start.
class ServerFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(root_.path().find(L' '), std::wstring::npos);
    program_dir_ = root_.path() + L"dir with spaces\\";
    fs::create_directories(program_dir_);
    CopyExe(L"server_start_recorder.exe", root_.path() + L"dir.exe");
  }
  void TearDown() override {
    for (DWORD probe : probes_) {
      for (DWORD server : ChildrenNamed(probe, kMonitorServerExe)) EndProcess(server);
    }
  }

  void PlaceServer(const wchar_t* folder, const wchar_t* bin_name) {
    CopyExe(bin_name, program_dir_ + folder + L"\\Kalvaro.exe");
  }
  // Copies the probe into the program folder under `name`; returns its command line.
  std::wstring PlaceProbe(const std::wstring& name) {
    CopyExe(L"server_probe.exe", program_dir_ + name);
    return Quote(program_dir_ + name);
  }
  Finished RunProbe(const std::wstring& command_line, DWORD timeout_ms = 30000) {
    Finished run = RunCaptured(command_line, timeout_ms);
    if (run.pid) probes_.push_back(run.pid);
    return run;
  }
  std::wstring Server(const wchar_t* folder) const { return program_dir_ + folder + L"\\"; }
  bool DecoyRan() const { return !Starts(root_.path()).empty(); }

  TempFolder root_;
  std::wstring program_dir_;
  std::vector<DWORD> probes_;
};

TEST_F(ServerFolder, Windows10StartsTheHardwareMonitorBuildByItsQuotedPath) {
  PlaceServer(L"HardwareMonitor", L"server_start_recorder.exe");
  PlaceServer(L"HardwareMonitorWin7", L"server_start_recorder.exe");
  const std::wstring probe_name = UniqueName(L"calorix_probe") + L".exe";
  AppVersionOverride win10(probe_name, L"win10");
  const Finished run = RunProbe(PlaceProbe(probe_name) + L" start-server");
  EXPECT_EQ(run.exit_code, 10u);
  EXPECT_EQ(run.err, "");
  ASSERT_TRUE(WaitFor([&] { return !Starts(Server(L"HardwareMonitor")).empty(); }, 10000));
  // The program folder's own backslash plus the format's: a doubled separator.
  const std::wstring expected = Quote(program_dir_ + L"\\HardwareMonitor\\Kalvaro.exe");
  EXPECT_EQ(Starts(Server(L"HardwareMonitor")), std::vector<std::wstring>{expected});
  EXPECT_TRUE(Starts(Server(L"HardwareMonitorWin7")).empty());
  EXPECT_FALSE(DecoyRan());
}

TEST_F(ServerFolder, DefaultPrefixStartsTheWindows7Build) {
  PlaceServer(L"HardwareMonitor", L"server_start_recorder.exe");
  PlaceServer(L"HardwareMonitorWin7", L"server_start_recorder.exe");
  const Finished run =
      RunProbe(PlaceProbe(UniqueName(L"calorix_probe") + L".exe") + L" start-server");
  EXPECT_EQ(run.exit_code, 7u);
  ASSERT_TRUE(WaitFor([&] { return !Starts(Server(L"HardwareMonitorWin7")).empty(); }, 10000));
  const std::wstring expected = Quote(program_dir_ + L"\\HardwareMonitorWin7\\Kalvaro.exe");
  EXPECT_EQ(Starts(Server(L"HardwareMonitorWin7")), std::vector<std::wstring>{expected});
  EXPECT_TRUE(Starts(Server(L"HardwareMonitor")).empty());
  EXPECT_FALSE(DecoyRan());
}

TEST_F(ServerFolder, UnquotedCommandLineWouldStartTheDecoyAndAMissingServerNothing) {
  // What the layout guards against: the system resolves the unquoted line to the decoy.
  PlaceServer(L"HardwareMonitorWin7", L"server_start_recorder.exe");
  std::wstring unquoted = program_dir_ + L"\\HardwareMonitorWin7\\Kalvaro.exe";
  test::ChildProcess child(unquoted);
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.Wait(10000), 0u);
  EXPECT_TRUE(WaitFor([&] { return DecoyRan(); }, 5000));
  EXPECT_TRUE(Starts(Server(L"HardwareMonitorWin7")).empty());

  // With no server in place, starting fails quietly and falls back to nothing else.
  fs::remove(root_.path() + L"starts.txt");
  fs::remove(program_dir_ + L"HardwareMonitorWin7\\Kalvaro.exe");
  const Finished run =
      RunProbe(PlaceProbe(UniqueName(L"calorix_probe") + L".exe") + L" start-server");
  EXPECT_EQ(run.exit_code, 7u);
  EXPECT_EQ(run.err, "");
  ::Sleep(300);
  EXPECT_FALSE(DecoyRan());
}

TEST_F(ServerFolder, SilentServerIsStartedThirteenTimesThenNever) {
  // The recorder never publishes, so the probe's block keeps liveness 0.
  PlaceServer(L"HardwareMonitorWin7", L"server_start_recorder.exe");
  const Finished run =
      RunProbe(PlaceProbe(UniqueName(L"calorix_probe") + L".exe") + L" watchdog 150", 60000);
  // Twelve ticks, then ten periods more without one: the timer was killed.
  EXPECT_EQ(run.exit_code, 12u) << run.out << run.err;
  EXPECT_EQ(run.out, "ticks=12\r\n");  // a text-mode stream
  EXPECT_TRUE(WaitFor([&] { return Starts(Server(L"HardwareMonitorWin7")).size() >= 13; }, 15000));
  ::Sleep(500);
  EXPECT_EQ(Starts(Server(L"HardwareMonitorWin7")).size(), 13u);
}

TEST_F(ServerFolder, PublishingServerIsNotStartedAgain) {
  PlaceServer(L"HardwareMonitorWin7", L"monitor_standin.exe");
  const Finished run = RunProbe(
      PlaceProbe(UniqueName(L"calorix_probe") + L".exe") + L" watchdog 50 --published", 60000);
  EXPECT_EQ(run.exit_code, 12u) << run.out << run.err;
  EXPECT_EQ(ChildrenNamed(run.pid, kMonitorServerExe).size(), 1u);
}

TEST(IsWindows10OrLater, UnreadableVersionWritesItsLineReleasesTheLibraryAndMeansOlder) {
  CapturedFile errors;
  ASSERT_TRUE(errors.file());
  EXPECT_FALSE(IsWindows10OrLaterFrom(L"calorix_no_such_library.dll", "RtlGetNtVersionNumbers",
                                      errors.file()));
  // A library this process has not loaded, so its release can be seen.
  ASSERT_EQ(::GetModuleHandleW(L"cabinet.dll"), nullptr);
  EXPECT_FALSE(IsWindows10OrLaterFrom(L"cabinet.dll", "RtlGetNtVersionNumbers", errors.file()));
  EXPECT_EQ(::GetModuleHandleW(L"cabinet.dll"), nullptr);
  EXPECT_EQ(errors.Text(), std::string(kNtdllLoadFailedLine) + kVersionFunctionMissingLine);
}

class NamedCopies {
 public:
  explicit NamedCopies(const std::wstring& exe) : exe_(exe) {}
  ~NamedCopies() {
    for (auto& p : processes_) {
      if (::WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(p.get(), 1);
    }
  }
  bool Start() {
    std::wstring line = Quote(exe_) + L" --wait-ms 60000";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &pi))
      return false;
    ::CloseHandle(pi.hThread);
    processes_.emplace_back(pi.hProcess);
    return true;
  }
  int Ended() const {
    int ended = 0;
    for (auto& p : processes_) ended += ::WaitForSingleObject(p.get(), 0) == WAIT_OBJECT_0;
    return ended;
  }
  std::vector<DWORD> ExitCodes() const {
    std::vector<DWORD> codes;
    for (auto& p : processes_) {
      DWORD code = 0;
      if (::WaitForSingleObject(p.get(), 0) == WAIT_OBJECT_0 &&
          ::GetExitCodeProcess(p.get(), &code))
        codes.push_back(code);
    }
    return codes;
  }

 private:
  std::wstring exe_;
  std::vector<Zentu::UniqueKernelHandle> processes_;  // owned
};

TEST(TerminateProcessByName, EndsOneCopyPerCallWhateverTheCase) {
  TempFolder folder;
  const std::wstring name = UniqueName(L"calorix_term") + L".exe";
  std::wstring upper = name;
  for (wchar_t& c : upper) c = towupper(c);
  CopyExe(L"server_start_recorder.exe", folder.path() + upper);
  NamedCopies copies(folder.path() + upper);
  ASSERT_TRUE(copies.Start());
  ASSERT_TRUE(copies.Start());

  EXPECT_TRUE(TerminateProcessByName(name.c_str()));
  EXPECT_TRUE(WaitFor([&] { return copies.Ended() >= 1; }, 5000));
  ::Sleep(300);
  EXPECT_EQ(copies.Ended(), 1);
  EXPECT_EQ(copies.ExitCodes(), std::vector<DWORD>{0});

  EXPECT_TRUE(TerminateProcessByName(name.c_str()));
  EXPECT_TRUE(WaitFor([&] { return copies.Ended() == 2; }, 5000));
  EXPECT_EQ(copies.ExitCodes(), (std::vector<DWORD>{0, 0}));
  // Nothing left to end: the process list was still read.
  EXPECT_TRUE(TerminateProcessByName(name.c_str()));
}

}  // namespace
}  // namespace calorix
