// Names, URLs and prompts of the update service.
#include "app/update/update_plan.h"

namespace calorix {
namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::wstring_view ProgramStem(UpdateChannel channel) {
  return channel == UpdateChannel::kSoftware ? L"Software-" : L"FirmwareUpdateTool-";
}

}  // namespace

bool IsUsableBaseUrl(std::wstring_view url) {
  constexpr std::size_t kMaxLength = 200;
  std::size_t scheme = 0;
  if (StartsWithNoCase(url, L"https://")) {
    scheme = 8;
  } else if (StartsWithNoCase(url, L"http://")) {
    scheme = 7;
  } else {
    return false;
  }
  if (url.size() > kMaxLength || url.size() == scheme || url[scheme] == L'/') return false;
  for (wchar_t c : url)
    if (c <= 0x20 || c >= 0x7F || c == L'?' || c == L'#' || c == L'\\') return false;
  return true;
}

std::wstring ChannelUrl(std::wstring_view base_url, UpdateChannel channel) {
  while (!base_url.empty() && base_url.back() == L'/') base_url.remove_suffix(1);
  std::wstring url(base_url);
  url += channel == UpdateChannel::kSoftware ? L"/q7rb/software/" : L"/q7rb/firmware/";
  return url;
}

std::wstring VersionUrl(std::wstring_view channel_url) {
  return std::wstring(channel_url) + L"version";
}

std::wstring ArchiveName(UpdateChannel channel, std::wstring_view version) {
  return std::wstring(ProgramStem(channel)) + std::wstring(version) + L".zip";
}

std::wstring ProgramName(UpdateChannel channel, std::wstring_view version) {
  return std::wstring(ProgramStem(channel)) + std::wstring(version) + L".exe";
}

std::wstring ArchiveUrl(std::wstring_view channel_url, std::wstring_view archive_name) {
  return std::wstring(channel_url) + L"//" + std::wstring(archive_name);
}

std::optional<UpdatePrompt> PromptFor(unsigned long long wparam, long long lparam,
                                      std::wstring_view latest_version) {
  const bool software = wparam == static_cast<int>(UpdateChannel::kSoftware);
  if (!software && wparam != static_cast<int>(UpdateChannel::kFirmware)) return std::nullopt;
  UpdatePrompt prompt;
  prompt.title = software ? L"Software Updates" : L"Firmware Updates";
  if (lparam == kResultNewer) {
    prompt.text =
        L"Detected the latest version:v" + std::wstring(latest_version) + L", update now?";
    prompt.style = kBoxYesNo;
    prompt.on_consent = software ? WorkerCommand::UpdateSoftware : WorkerCommand::UpdateFirmware;
  } else {
    prompt.text =
        software ? L"The software is the latest version!" : L"The Firmware is the latest version!";
  }
  return prompt;
}

}  // namespace calorix
