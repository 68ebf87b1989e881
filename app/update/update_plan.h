// The update service's fixed texts and the names built from them: channel URLs, archive and
// program names, and what the main window asks after a version check.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/shell/shell_constants.h"
#include "app/shell/worker.h"

namespace calorix {

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

// The update server's base URL: http:// or https://, a host, an optional path, printable
// ASCII without blanks, query or fragment, at most 200 characters. Anything else is not used.
bool IsUsableBaseUrl(std::wstring_view url);

// Base URL (a trailing slash is dropped) followed by "/q7rb/software/" or "/q7rb/firmware/".
std::wstring ChannelUrl(std::wstring_view base_url, UpdateChannel channel);
// The channel's version file.
std::wstring VersionUrl(std::wstring_view channel_url);
// "Software-<version>.zip" / "FirmwareUpdateTool-<version>.zip", and ".exe" for the program.
std::wstring ArchiveName(UpdateChannel channel, std::wstring_view version);
std::wstring ProgramName(UpdateChannel channel, std::wstring_view version);
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
// nothing for a wparam that names no channel.
std::optional<UpdatePrompt> PromptFor(unsigned long long wparam, long long lparam,
                                      std::wstring_view latest_version);

}  // namespace calorix
