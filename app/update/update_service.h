// The update service: the four version checks, the prompts after them, and the download,
// unpacking and launch of an update, as commands 3 to 8 of the main window's worker.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "app/shell/worker.h"
#include "app/update/http_fetch.h"
#include "app/update/update_plan.h"

namespace calorix {

// Shows a modal message box (text, title, style kBoxOk or kBoxYesNo) and returns the
// answer; kBoxYes is consent.
using MessageBoxFn =
    std::function<unsigned(const std::wstring& text, const std::wstring& title, int style)>;

// What the service needs from the program around it. Empty members get the program's own.
struct UpdateLinks {
  HWND window = nullptr;     // receives WM_UPDATE_RESULT
  MessageBoxFn message_box;  // the main window's message box; without one, nothing is asked
  std::function<bool(int*)> firmware_version;  // default: DeviceManager's GetFirmwareVersion
  std::function<void()> exit_process;          // default: ends the process with status 0
  std::wstring work_folder;  // ends with a backslash; default: the per-user work folder
};

// How an update command ended.
enum class UpdateOutcome {
  kStarted,         // the new program runs; exit_process was called
  kNoVersion,       // no checked version of the channel to download
  kDownloadFailed,  // the archive did not arrive whole
  kStopped,         // the worker was stopped during the download
  kNotUnpacked,     // the archive did not yield the program completely
  kStartFailed,     // the shell could not start the program
};

// The main window owns one UpdateService and declares its Worker after it, so that the
// worker thread ends before the service goes away.
class UpdateService {
 public:
  UpdateService(std::wstring_view base_url, UpdateLinks links);
  UpdateService(const UpdateService&) = delete;
  UpdateService& operator=(const UpdateService&) = delete;

  // Plugs commands 3 to 8 into `worker` and lets its Stop end a running fetch or download.
  void Connect(Worker& worker);

  // The update-result handler (main thread): asks with the message box and queues the
  // download when the answer is YES. Returns 0.
  LRESULT OnUpdateResult(WPARAM wparam, LPARAM lparam);

  // The commands' work, as the worker runs it.
  void CheckSoftware(bool quiet, const StopToken& stop);
  void CheckFirmware(bool quiet, const StopToken& stop);
  UpdateOutcome Update(UpdateChannel channel, const StopToken& stop);

  std::wstring LatestVersion(UpdateChannel channel) const;
  const std::wstring& ChannelUrlOf(UpdateChannel channel) const;
  // LocalAppData\KEM Files\\temp\ (the doubled backslash is harmless to the file system).
  std::wstring TempFolder() const;

 private:
  // The accepted version text of the channel's version file, or nothing.
  std::optional<std::wstring> FetchVersion(UpdateChannel channel, const StopToken& stop);
  void Post(UpdateChannel channel, long result) const;

  UpdateLinks links_;
  const std::wstring software_url_;
  const std::wstring firmware_url_;
  mutable std::mutex lock_;
  // Written by the worker before it posts WM_UPDATE_RESULT, read by the main thread.
  std::wstring latest_software_;  // guarded by lock_; never cleared once a check succeeded
  std::wstring latest_firmware_;  // guarded by lock_; cleared when a firmware check starts
  HttpFetcher fetcher_;           // worker thread; its running flag is cleared by Stop
  HttpDownloader downloader_;     // worker thread; its running flag is cleared by Stop
  Worker* worker_ = nullptr;      // not owned: the main window's, destroyed before this
};

}  // namespace calorix
