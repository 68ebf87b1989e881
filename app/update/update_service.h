// The update service: the four version checks, the prompts after them, and the download,
// check and launch of an update, as commands 3 to 8 of the main window's worker.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/base/worker_commands.h"
#include "app/update/http_fetch.h"
#include "app/update/signature_format.h"
#include "app/update/update_plan.h"

namespace calorix {

class UpdateFolder;
struct UnzipReport;

// Shows a modal message box (text, title, style kBoxOk or kBoxYesNo) and returns the
// answer; kBoxYes is consent.
using MessageBoxFn =
    std::function<unsigned(const std::wstring& text, const std::wstring& title, int style)>;

// What the service needs from the program around it. Empty members get the program's own.
struct UpdateLinks {
  HWND window = nullptr;     // receives WM_UPDATE_RESULT and WM_UPDATE_STARTED
  MessageBoxFn message_box;  // the main window's message box; without one, nothing is asked
  std::function<bool(int*)> firmware_version;  // default: DeviceManager's GetFirmwareVersion
  // Called on the worker once the update's program runs. Default: posts WM_UPDATE_STARTED to
  // `window`, whose handler ends the program the orderly way; the worker never ends it.
  std::function<void()> started;
  // The key update programs must be signed with, read once. Default: ConfiguredUpdateKey.
  std::function<std::optional<UpdateKey>()> key;
  // Called on the worker right before the program is started, with its path, while the
  // checked files are held. Tests look at the held files here.
  std::function<void(const std::wstring& program)> before_start;
};

// How an update command ended.
enum class UpdateOutcome {
  kStarted,         // the new program runs; `started` was called
  kNoVersion,       // no checked version of the channel to download
  kNoKey,           // no update key: nothing can be verified, so nothing is started
  kNoFolder,        // the update folder could not be made safely
  kDownloadFailed,  // the archive did not arrive whole, or came from elsewhere or too large
  kStopped,         // the worker was stopped during the download
  kOverCap,         // the archive's directory goes over a cap
  kNotUnpacked,     // the archive did not yield the program completely
  kUnsigned,        // the archive has no signature of the program
  kBadSignature,    // the signature is malformed or not the update key's of this program
  kStartFailed,     // the program could not be started
};

// The main window owns one UpdateService and declares its Worker after it, so that the
// worker thread ends before the service goes away.
class UpdateService {
 public:
  // A base URL that is not usable (see BaseUrlProblem) is logged and never contacted.
  UpdateService(std::wstring_view base_url, UpdateLinks links);
  UpdateService(const UpdateService&) = delete;
  UpdateService& operator=(const UpdateService&) = delete;

  // Plugs commands 3 to 8 into `worker` and lets its Stop end a running fetch or download.
  void Connect(CommandPort& worker);

  // The update-result handler (main thread): asks with the message box and queues the
  // download when the answer is YES. Returns 0.
  LRESULT OnUpdateResult(WPARAM wparam, LPARAM lparam);

  // The commands' work, as the worker runs it.
  void CheckSoftware(bool quiet, const StopToken& stop);
  void CheckFirmware(bool quiet, const StopToken& stop);
  UpdateOutcome Update(UpdateChannel channel, const StopToken& stop);

  std::wstring LatestVersion(UpdateChannel channel) const;
  const std::wstring& ChannelUrlOf(UpdateChannel channel) const;

 private:
  // The accepted version text of the channel's version file, or nothing.
  std::optional<std::wstring> FetchVersion(UpdateChannel channel, const StopToken& stop);
  void Post(UpdateChannel channel, long result) const;
  // Download, unpacking, signature check and start inside `folder`.
  UpdateOutcome Install(UpdateChannel channel, const std::wstring& version,
                        const UpdateFolder& folder, const StopToken& stop);
  // Nothing once the program and its signature are unpacked whole into `folder`, held in
  // `report`, and the signature verified through the held handles; else how the update ended.
  std::optional<UpdateOutcome> UnpackAndVerify(HANDLE archive, const std::string& archive_text,
                                               const std::wstring& program_name,
                                               const std::wstring& signature_name,
                                               const UpdateFolder& folder,
                                               UnzipReport* report) const;
  // Nothing once the archive arrived whole; else how the update ended.
  std::optional<UpdateOutcome> Download(const std::wstring& archive_name, HANDLE archive,
                                        const std::wstring& channel_url, const StopToken& stop);

  UpdateLinks links_;
  const std::optional<UpdateKey> key_;  // read once at construction
  const std::wstring software_url_;     // empty when the base URL is not usable
  const std::wstring firmware_url_;
  mutable std::mutex lock_;
  // Written by the worker before it posts WM_UPDATE_RESULT, read by the main thread.
  std::wstring latest_software_;  // guarded by lock_; never cleared once a check succeeded
  std::wstring latest_firmware_;  // guarded by lock_; cleared when a firmware check starts
  std::atomic<std::uint64_t> consent_tick_{0};  // when the user last said YES, for the log
  HttpFetcher fetcher_;            // worker thread; its running flag is cleared by Stop
  HttpDownloader downloader_;      // worker thread; its running flag is cleared by Stop
  CommandPort* worker_ = nullptr;  // not owned: the main window's, destroyed before this
};

}  // namespace calorix
