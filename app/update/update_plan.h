// The update service's fixed texts and the names built from them: channel URLs, archive and
// program names, and what the main window asks after a version check.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/base/worker_commands.h"

namespace calorix {

// Posted by the update service to the main window: the result of a version check, and
// that an update's program runs (the program ends the orderly way).
inline constexpr unsigned WM_UPDATE_RESULT = 0x069C;
inline constexpr unsigned WM_UPDATE_STARTED = 0x069D;

// wParam of WM_UPDATE_RESULT.
enum class UpdateChannel : int { kSoftware = 1, kFirmware = 2 };

// lParam of WM_UPDATE_RESULT.
inline constexpr long kResultNewer = 1;
inline constexpr long kSoftwareCurrent = 0;
inline constexpr long kFirmwareCurrent = 2;

// Message box styles and the answer that means consent.
inline constexpr int kBoxOk = 0;
inline constexpr int kBoxYesNo = 4;
inline constexpr unsigned kBoxYes = 1;

// The update server's base URL: https:// (or http:// to a loopback address: 127.0.0.0/8,
// [::1] or localhost), a host, an optional port and path, printable ASCII without blanks,
// query or fragment, at most 200 characters. Anything else is not used.
bool IsUsableBaseUrl(std::wstring_view url);
// Why `url` is not usable, for the log; null when it is.
const char* BaseUrlProblem(std::wstring_view url);

// Scheme, host and port of an absolute http or https URL, the scheme and host in lower case
// and the port filled in when it is the scheme's default.
struct UrlOrigin {
  std::wstring scheme;
  std::wstring host;
  unsigned port = 0;
  bool operator==(const UrlOrigin&) const = default;
};
std::optional<UrlOrigin> OriginOf(std::wstring_view url);
// A redirect is followed only to the same scheme, host and port: a server may move a file,
// but not hand the download to another server or to plain http.
bool IsAllowedRedirect(std::wstring_view from, std::wstring_view to);

// Base URL (a trailing slash is dropped) followed by "/q7rb/software/" or "/q7rb/firmware/".
std::wstring ChannelUrl(std::wstring_view base_url, UpdateChannel channel);
// The channel's version file.
std::wstring VersionUrl(std::wstring_view channel_url);
// "Software-<version>.zip" / "FirmwareUpdateTool-<version>.zip", and ".exe" for the program.
std::wstring ArchiveName(UpdateChannel channel, std::wstring_view version);
std::wstring ProgramName(UpdateChannel channel, std::wstring_view version);
// The program's detached signature inside the archive: the program name and ".sig".
std::wstring SignatureName(UpdateChannel channel, std::wstring_view version);
// The channel URL, "//" and the archive name: three slashes before the name on the server.
std::wstring ArchiveUrl(std::wstring_view channel_url, std::wstring_view archive_name);

// One message box of the update-result handler, and what a YES to it queues.
struct UpdatePrompt {
  std::wstring text;
  std::wstring title;
  int style = kBoxOk;
  std::optional<WorkerCommand> on_consent;
};
// The box for WM_UPDATE_RESULT (wparam, lparam), given the latest version of the channel;
// nothing for a wparam that names no channel. A program that cannot install updates (it has
// no key to check them with) announces a newer version with an OK box that says so.
std::optional<UpdatePrompt> PromptFor(unsigned long long wparam, long long lparam,
                                      std::wstring_view latest_version, bool can_install = true);

}  // namespace calorix
