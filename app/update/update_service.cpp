// The update service's commands and its update-result handler.
#include "app/update/update_service.h"

#include <shellapi.h>

#include "app/device/device_manager.h"
#include "app/system/log.h"
#include "app/system/work_folder.h"
#include "app/update/unzip.h"
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
  if (!links.exit_process) links.exit_process = [] { ::ExitProcess(0); };
  if (links.work_folder.empty()) {
    const std::wstring folder = WorkFolder().wstring();
    if (!folder.empty()) links.work_folder = folder + L"\\";
  }
  return links;
}

}  // namespace

UpdateService::UpdateService(std::wstring_view base_url, UpdateLinks links)
    : links_(WithDefaults(std::move(links))),
      software_url_(ChannelUrl(base_url, UpdateChannel::kSoftware)),
      firmware_url_(ChannelUrl(base_url, UpdateChannel::kFirmware)) {}

void UpdateService::Connect(Worker& worker) {
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

std::wstring UpdateService::TempFolder() const {
  return links_.work_folder.empty() ? std::wstring() : links_.work_folder + L"\\temp\\";
}

std::optional<std::wstring> UpdateService::FetchVersion(UpdateChannel channel,
                                                        const StopToken& stop) {
  std::wstring body;
  const int status = fetcher_.HttpGetText(VersionUrl(ChannelUrlOf(channel)), &body, &stop);
  std::optional<std::wstring> version;
  if (status == kHttpDone) version = AcceptVersionText(body, KindOf(channel));
  if (!version) {
    const HttpDiagnosis& why = fetcher_.Diagnosis();
    LogPrint(Warn,
             "update: %s check: no usable version (status %d, error %lu, HTTP %lu, %u characters)",
             ChannelName(channel), status, why.error, why.http_status,
             static_cast<unsigned>(body.size()));
  }
  return version;
}

void UpdateService::CheckSoftware(bool quiet, const StopToken& stop) {
  const std::optional<std::wstring> version = FetchVersion(UpdateChannel::kSoftware, stop);
  if (!version) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    latest_software_ = *version;
  }
  const bool newer = SoftwareIsNewer(kProgramVersion, *version);
  LogPrint(Info, "update: software %s, running %s: %s", ToUtf8(*version).c_str(),
           ToUtf8(kProgramVersion).c_str(), newer ? "newer" : "current");
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
  const std::optional<UpdatePrompt> prompt = PromptFor(wparam, lparam, LatestVersion(channel));
  if (!prompt || !links_.message_box) return 0;
  const unsigned answer = links_.message_box(prompt->text, prompt->title, prompt->style);
  if (answer == kBoxYes && prompt->on_consent && worker_) worker_->Append(*prompt->on_consent);
  return 0;
}

UpdateOutcome UpdateService::Update(UpdateChannel channel, const StopToken& stop) {
  const char* name = ChannelName(channel);
  const std::wstring version = LatestVersion(channel);
  const std::wstring temp = TempFolder();
  if (!AcceptVersionText(version, KindOf(channel)) || temp.empty()) {
    LogPrint(Warn, "update: %s update without a checked version or a work folder; nothing started",
             name);
    return UpdateOutcome::kNoVersion;
  }
  CreateFolderChain(temp);
  const std::wstring archive_name = ArchiveName(channel, version);
  const std::wstring archive = temp + archive_name;
  ::DeleteFileW(archive.c_str());
  const int status =
      downloader_.HttpDownloadFile(ArchiveUrl(ChannelUrlOf(channel), archive_name), archive, &stop);
  if (status != kHttpDone) {
    const HttpDiagnosis& why = downloader_.Diagnosis();
    LogPrint(Warn,
             "update: download of %s failed (status %d, error %lu, HTTP %lu); nothing started",
             ToUtf8(archive_name).c_str(), status, why.error, why.http_status);
    return status == kHttpStopped ? UpdateOutcome::kStopped : UpdateOutcome::kDownloadFailed;
  }
  UnzipReport report;
  if (UnzipAll(archive, temp, &report)) ::DeleteFileW(archive.c_str());
  const std::wstring program_name = ProgramName(channel, version);
  // Only a program written whole from this archive runs, never an earlier update's leftover.
  if (!report.Contains(program_name)) {
    LogPrint(Warn, "update: %s was not unpacked completely from %s; nothing started",
             ToUtf8(program_name).c_str(), ToUtf8(archive_name).c_str());
    return UpdateOutcome::kNotUnpacked;
  }
  const std::wstring program = temp + program_name;
  const auto started = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW));
  if (started <= 32) {
    LogPrint(Error, "update: could not start %s (%d)", ToUtf8(program_name).c_str(),
             static_cast<int>(started));
    return UpdateOutcome::kStartFailed;
  }
  LogPrint(Info, "update: started %s; the program ends", ToUtf8(program_name).c_str());
  links_.exit_process();
  return UpdateOutcome::kStarted;
}

}  // namespace calorix
