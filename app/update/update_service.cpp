// The update service's commands and its update-result handler.
#include "app/update/update_service.h"

#include <cstdio>

#include "app/base/handles.h"
#include "app/base/product.h"
#include "app/device/device_manager.h"
#include "app/system/log.h"
#include "app/update/unzip.h"
#include "app/update/update_config.h"
#include "app/update/update_folder.h"
#include "app/update/update_signature.h"
#include "app/update/version_text.h"

namespace calorix {
namespace {

const char* ChannelName(UpdateChannel channel) {
  return channel == UpdateChannel::kSoftware ? "software" : "firmware";
}

VersionKind KindOf(UpdateChannel channel) {
  return channel == UpdateChannel::kSoftware ? VersionKind::kSoftware : VersionKind::kFirmware;
}

UpdateLinks WithDefaults(UpdateLinks links) {
  if (!links.firmware_version) {
    links.firmware_version = [](int* version) {
      return DeviceManager::Instance().GetFirmwareVersion(version);
    };
  }
  if (!links.started) {
    links.started = [window = links.window] { ::PostMessageW(window, WM_UPDATE_STARTED, 0, 0); };
  }
  if (!links.key) links.key = ConfiguredUpdateKey;
  return links;
}

std::wstring ChannelUrlIfUsable(std::wstring_view base_url, UpdateChannel channel) {
  return IsUsableBaseUrl(base_url) ? ChannelUrl(base_url, channel) : std::wstring();
}

// Started by its own path, not through the shell: no file association, verb or search path
// of the user's can choose what runs. The folder is its current directory, which it shares
// with nothing but what the update brought.
bool StartProgram(const std::wstring& program, const std::wstring& folder) {
  std::wstring command_line = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// Deleted once the last handle closes; the program has started by then.
void DeleteWhenClosed(HANDLE file) {
  FILE_DISPOSITION_INFO dispose{TRUE};
  ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
}

}  // namespace

UpdateService::UpdateService(std::wstring_view base_url, UpdateLinks links)
    : links_(WithDefaults(std::move(links))),
      key_(links_.key()),
      software_url_(ChannelUrlIfUsable(base_url, UpdateChannel::kSoftware)),
      firmware_url_(ChannelUrlIfUsable(base_url, UpdateChannel::kFirmware)) {
  if (const char* problem = BaseUrlProblem(base_url))
    LogPrint(Warn, "update: the base URL \"%s\" is not used: %s", LogText(base_url).c_str(),
             problem);
  if (!key_) LogPrint(Warn, "update: no update key; updates are announced, never installed");
}

void UpdateService::Connect(CommandPort& worker) {
  worker_ = &worker;
  worker.SetHandler(WorkerCommand::CheckSoftware,
                    [this](const StopToken& stop) { CheckSoftware(false, stop); });
  worker.SetHandler(WorkerCommand::CheckFirmware,
                    [this](const StopToken& stop) { CheckFirmware(false, stop); });
  worker.SetHandler(WorkerCommand::CheckSoftwareQuiet,
                    [this](const StopToken& stop) { CheckSoftware(true, stop); });
  worker.SetHandler(WorkerCommand::CheckFirmwareQuiet,
                    [this](const StopToken& stop) { CheckFirmware(true, stop); });
  worker.SetHandler(WorkerCommand::UpdateSoftware,
                    [this](const StopToken& stop) { Update(UpdateChannel::kSoftware, stop); });
  worker.SetHandler(WorkerCommand::UpdateFirmware,
                    [this](const StopToken& stop) { Update(UpdateChannel::kFirmware, stop); });
  worker.AddStopHook([this] {
    fetcher_.Stop();
    downloader_.Stop();
  });
}

std::wstring UpdateService::LatestVersion(UpdateChannel channel) const {
  std::lock_guard<std::mutex> guard(lock_);
  return channel == UpdateChannel::kSoftware ? latest_software_ : latest_firmware_;
}

const std::wstring& UpdateService::ChannelUrlOf(UpdateChannel channel) const {
  return channel == UpdateChannel::kSoftware ? software_url_ : firmware_url_;
}

std::optional<std::wstring> UpdateService::FetchVersion(UpdateChannel channel,
                                                        const StopToken& stop) {
  if (ChannelUrlOf(channel).empty()) return std::nullopt;
  std::wstring body;
  const int status = fetcher_.HttpGetText(VersionUrl(ChannelUrlOf(channel)), &body, &stop);
  std::optional<std::wstring> version;
  if (status == kHttpDone) version = AcceptVersionText(body, KindOf(channel));
  if (!version) {
    const HttpDiagnosis& why = fetcher_.Diagnosis();
    LogPrint(Warn,
             "update: %s check: no usable version (status %d, error %lu, HTTP %lu, %u "
             "characters%s%s)",
             ChannelName(channel), status, why.error, why.http_status,
             static_cast<unsigned>(body.size()), why.refusal ? ": " : "",
             why.refusal ? why.refusal : "");
  }
  return version;
}

void UpdateService::CheckSoftware(bool quiet, const StopToken& stop) {
  // At start-up the installer an earlier update started has long finished.
  if (quiet) RemoveLeftoverUpdateFolders();
  const std::optional<std::wstring> version = FetchVersion(UpdateChannel::kSoftware, stop);
  if (!version) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    latest_software_ = *version;
  }
  const bool newer = SoftwareIsNewer(kProgramVersion, *version);
  LogPrint(Info, "update: software %s, running %s: %s", ToUtf8(*version).c_str(),
           ToUtf8(kProgramVersion).c_str(),
           !newer ? "not newer; not offered"
           : key_ ? "newer"
                  : "newer, but without an update key it cannot be installed");
  if (newer || !quiet) Post(UpdateChannel::kSoftware, newer ? kResultNewer : kSoftwareCurrent);
}

void UpdateService::CheckFirmware(bool quiet, const StopToken& stop) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    latest_firmware_.clear();
  }
  const std::optional<std::wstring> version = FetchVersion(UpdateChannel::kFirmware, stop);
  if (!version) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    latest_firmware_ = *version;
  }
  int device_version = -1;
  links_.firmware_version(&device_version);
  const bool newer = FirmwareIsNewer(device_version, *version);
  LogPrint(Info, "update: firmware %s, device %d: %s", ToUtf8(*version).c_str(), device_version,
           newer ? "newer" : "current or unknown");
  if (newer || !quiet) Post(UpdateChannel::kFirmware, newer ? kResultNewer : kFirmwareCurrent);
}

void UpdateService::Post(UpdateChannel channel, long result) const {
  ::PostMessageW(links_.window, WM_UPDATE_RESULT, static_cast<WPARAM>(channel), result);
}

LRESULT UpdateService::OnUpdateResult(WPARAM wparam, LPARAM lparam) {
  const auto channel = static_cast<UpdateChannel>(static_cast<int>(wparam));
  const std::optional<UpdatePrompt> prompt =
      PromptFor(wparam, lparam, LatestVersion(channel), key_.has_value());
  if (!prompt || !links_.message_box) return 0;
  const unsigned answer = links_.message_box(prompt->text, prompt->title, prompt->style);
  if (answer == kBoxYes && prompt->on_consent && worker_) {
    consent_tick_ = ::GetTickCount64();
    LogPrint(Info, "update: %s update accepted", ChannelName(channel));
    worker_->Append(*prompt->on_consent);
  }
  return 0;
}

UpdateOutcome UpdateService::Update(UpdateChannel channel, const StopToken& stop) {
  const char* name = ChannelName(channel);
  const std::wstring version = LatestVersion(channel);
  if (!AcceptVersionText(version, KindOf(channel)) || ChannelUrlOf(channel).empty()) {
    LogPrint(Warn, "update: %s update without a checked version; nothing started", name);
    return UpdateOutcome::kNoVersion;
  }
  if (!key_) {
    LogPrint(Warn, "update: %s update: no update key to verify it with; nothing started", name);
    return UpdateOutcome::kNoKey;
  }
  RemoveLeftoverUpdateFolders();
  std::string why;
  std::optional<UpdateFolder> folder = UpdateFolder::Create(&why);
  if (!folder) {
    LogPrint(Error, "update: no safe update folder (%s); nothing started", why.c_str());
    return UpdateOutcome::kNoFolder;
  }
  const UpdateOutcome outcome = Install(channel, version, *folder, stop);
  // A started program runs from its folder; a later update or start removes it.
  if (outcome != UpdateOutcome::kStarted) folder->Remove();
  return outcome;
}

std::optional<UpdateOutcome> UpdateService::Download(const std::wstring& archive_name,
                                                     HANDLE archive,
                                                     const std::wstring& channel_url,
                                                     const StopToken& stop) {
  const int status = downloader_.HttpDownloadFile(ArchiveUrl(channel_url, archive_name), archive,
                                                  kMaxArchiveBytes, &stop);
  if (status == kHttpDone) return std::nullopt;
  const HttpDiagnosis& why = downloader_.Diagnosis();
  char refusal[96] = "";
  if (why.refusal == kOverDownloadCap) {
    std::snprintf(refusal, sizeof refusal, ": %s of %llu MiB", why.refusal, kMaxArchiveBytes >> 20);
  } else if (why.refusal) {
    std::snprintf(refusal, sizeof refusal, ": %s", why.refusal);
  }
  LogPrint(Warn,
           "update: download of %s failed (status %d, error %lu, HTTP %lu%s); nothing started",
           ToUtf8(archive_name).c_str(), status, why.error, why.http_status, refusal);
  return status == kHttpStopped ? UpdateOutcome::kStopped : UpdateOutcome::kDownloadFailed;
}

std::optional<UpdateOutcome> UpdateService::UnpackAndVerify(
    HANDLE archive, const std::string& archive_text, const std::wstring& program_name,
    const std::wstring& signature_name, const UpdateFolder& folder, UnzipReport* report) const {
  const std::string program_text = ToUtf8(program_name);
  if (!UnzipAll(archive, folder.path(), {program_name, signature_name}, report)) {
    LogPrint(Warn, "update: %s is not an archive; nothing started", archive_text.c_str());
    return UpdateOutcome::kNotUnpacked;
  }
  if (!report->over_cap.empty()) {
    LogPrint(Warn, "update: %s goes over a cap (%s); nothing started", archive_text.c_str(),
             report->over_cap.c_str());
    return UpdateOutcome::kOverCap;
  }
  // Only a program written whole from this archive runs, never an earlier update's leftover.
  if (!report->Contains(program_name)) {
    LogPrint(Warn, "update: %s was not unpacked completely from %s; nothing started",
             program_text.c_str(), archive_text.c_str());
    return UpdateOutcome::kNotUnpacked;
  }
  if (!report->Contains(signature_name)) {
    LogPrint(Warn, "update: %s is unsigned (no %s in %s); nothing started", program_text.c_str(),
             ToUtf8(signature_name).c_str(), archive_text.c_str());
    return UpdateOutcome::kUnsigned;
  }
  const SignatureCheck check =
      VerifyProgram(report->Held(program_name), program_name, report->Held(signature_name), *key_);
  if (check != SignatureCheck::kValid) {
    LogPrint(Warn, "update: %s not started: %s", program_text.c_str(), SignatureCheckText(check));
    return UpdateOutcome::kBadSignature;
  }
  return std::nullopt;
}

UpdateOutcome UpdateService::Install(UpdateChannel channel, const std::wstring& version,
                                     const UpdateFolder& folder, const StopToken& stop) {
  const std::wstring archive_name = ArchiveName(channel, version);
  const std::string archive_text = ToUtf8(archive_name);
  LogPrint(Info, "update: downloading %s", archive_text.c_str());
  // Written and read through this one handle, which nobody else may write or delete through.
  const UniqueFileHandle archive(
      ::CreateFileW((folder.path() + archive_name).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                    FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archive) {
    LogPrint(Error, "update: cannot make %s (error %lu); nothing started", archive_text.c_str(),
             ::GetLastError());
    return UpdateOutcome::kDownloadFailed;
  }
  if (const auto failed = Download(archive_name, archive.get(), ChannelUrlOf(channel), stop))
    return *failed;

  const std::wstring program_name = ProgramName(channel, version);
  const std::string program_text = ToUtf8(program_name);
  UnzipReport report;
  if (const auto failed = UnpackAndVerify(archive.get(), archive_text, program_name,
                                          SignatureName(channel, version), folder, &report))
    return *failed;
  const std::wstring program = folder.path() + program_name;
  if (links_.before_start) links_.before_start(program);
  if (!StartProgram(program, folder.path())) {
    LogPrint(Error, "update: could not start %s (error %lu)", program_text.c_str(),
             ::GetLastError());
    return UpdateOutcome::kStartFailed;
  }
  const std::uint64_t consent = consent_tick_.load();
  LogPrint(Info, "update: started %s (%s), %llu ms after consent; the program ends",
           LogText(program).c_str(), SignatureCheckText(SignatureCheck::kValid),
           consent ? static_cast<unsigned long long>(::GetTickCount64() - consent) : 0ull);
  DeleteWhenClosed(archive.get());
  links_.started();
  return UpdateOutcome::kStarted;
}

}  // namespace calorix
