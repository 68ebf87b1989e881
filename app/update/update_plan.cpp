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

bool IsLoopbackHost(std::wstring_view host) {
  if (host == L"localhost" || host == L"[::1]") return true;
  // 127.0.0.0/8, written as four decimal numbers.
  if (!StartsWithNoCase(host, L"127.")) return false;
  int parts = 0;
  for (std::size_t start = 0; start <= host.size(); ++parts) {
    std::size_t dot = host.find(L'.', start);
    if (dot == std::wstring_view::npos) dot = host.size();
    const std::wstring_view part = host.substr(start, dot - start);
    if (part.empty() || part.size() > 3) return false;
    unsigned value = 0;
    for (wchar_t c : part) {
      if (c < L'0' || c > L'9') return false;
      value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value > 255) return false;
    start = dot + 1;
  }
  return parts == 4;
}

}  // namespace

std::optional<UrlOrigin> OriginOf(std::wstring_view url) {
  UrlOrigin origin;
  if (StartsWithNoCase(url, L"https://")) {
    origin = {L"https", L"", 443};
  } else if (StartsWithNoCase(url, L"http://")) {
    origin = {L"http", L"", 80};
  } else {
    return std::nullopt;
  }
  url.remove_prefix(origin.scheme.size() + 3);
  std::wstring_view authority = url.substr(0, url.find_first_of(L"/?#"));
  if (authority.find(L'@') != std::wstring_view::npos) return std::nullopt;  // user info
  // The port follows the last colon, unless that colon is inside an IPv6 address's brackets.
  const std::size_t colon = authority.rfind(L':');
  if (colon != std::wstring_view::npos && authority.find(L']', colon) == std::wstring_view::npos) {
    const std::wstring_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned port = 0;
    for (wchar_t c : digits) {
      if (c < L'0' || c > L'9') return std::nullopt;
      port = port * 10 + static_cast<unsigned>(c - L'0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    origin.port = port;
    authority = authority.substr(0, colon);
  }
  if (authority.empty()) return std::nullopt;
  for (wchar_t c : authority)
    origin.host.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c);
  return origin;
}

const char* BaseUrlProblem(std::wstring_view url) {
  constexpr std::size_t kMaxLength = 200;
  const std::optional<UrlOrigin> origin = OriginOf(url);
  if (!origin) return "not an http or https URL with a host";
  if (url.size() > kMaxLength) return "longer than 200 characters";
  for (wchar_t c : url)
    if (c <= 0x20 || c >= 0x7F || c == L'?' || c == L'#' || c == L'\\')
      return "blanks, a query, a fragment or characters outside printable ASCII";
  // Plain http can be read and changed by anyone on the way; the tests' server is local.
  if (origin->scheme == L"http" && !IsLoopbackHost(origin->host))
    return "plain http only to a loopback address";
  return nullptr;
}

bool IsUsableBaseUrl(std::wstring_view url) { return BaseUrlProblem(url) == nullptr; }

bool IsAllowedRedirect(std::wstring_view from, std::wstring_view to) {
  const std::optional<UrlOrigin> a = OriginOf(from);
  return a && a == OriginOf(to);
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

std::wstring SignatureName(UpdateChannel channel, std::wstring_view version) {
  return ProgramName(channel, version) + L".sig";
}

std::wstring ArchiveUrl(std::wstring_view channel_url, std::wstring_view archive_name) {
  return std::wstring(channel_url) + L"//" + std::wstring(archive_name);
}

std::optional<UpdatePrompt> PromptFor(unsigned long long wparam, long long lparam,
                                      std::wstring_view latest_version, bool can_install) {
  const bool software = wparam == static_cast<int>(UpdateChannel::kSoftware);
  if (!software && wparam != static_cast<int>(UpdateChannel::kFirmware)) return std::nullopt;
  UpdatePrompt prompt;
  prompt.title = software ? L"Software Updates" : L"Firmware Updates";
  const std::wstring detected = L"Detected the latest version:v" + std::wstring(latest_version);
  if (lparam == kResultNewer && !can_install) {
    prompt.text = detected +
                  L". This copy has no update key to verify it with, so it cannot "
                  L"install it.";
  } else if (lparam == kResultNewer) {
    prompt.text = detected + L", update now?";
    prompt.style = kBoxYesNo;
    prompt.on_consent = software ? WorkerCommand::UpdateSoftware : WorkerCommand::UpdateFirmware;
  } else {
    prompt.text =
        software ? L"The software is the latest version!" : L"The Firmware is the latest version!";
  }
  return prompt;
}

}  // namespace calorix
