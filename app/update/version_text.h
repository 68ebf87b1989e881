// Version texts from the update server: which bodies count, how versions compare, and the
// number the display's firmware version is compared as.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace calorix {

// A version file's body counts only when it is 1 to 10 characters long, as fetched.
inline constexpr std::size_t kMaxVersionTextLength = 10;

enum class VersionKind {
  kSoftware,  // dotted decimal parts: 1.0.1.0
  kFirmware,  // one decimal number: 110
};

// 0 equal, 1 `latest` is newer, -1 `current` is newer, 2 the texts have a different number
// of dot-separated parts. Parts compare as numbers, read the way _wtoi reads them (10 > 9);
// empty parts are kept.
int CompareVersions(std::wstring_view current, std::wstring_view latest);

// The version a fetched body names, or nothing when the body is to be ignored. The body
// goes into prompts, URLs, file names and the path of the program that is started, so only
// a plain version passes: 1 to 10 characters as fetched, then surrounding blanks (and a
// byte-order mark) trimmed, then digits only for firmware, or dot-separated runs of digits
// for software.
std::optional<std::wstring> AcceptVersionText(std::wstring_view body, VersionKind kind);

// The device's firmware version (high byte * 256 + low byte) written in hexadecimal and read
// back as a decimal number, the way the server numbers firmware: 0x0109 is 109, 0x010A is 10.
int FirmwareNumber(int device_version);

// A software version counts as newer only when it is greater, part by part as numbers, a
// missing part read as 0. An equal or older one is never offered.
bool SoftwareIsNewer(std::wstring_view current, std::wstring_view latest);
// Newer firmware needs a readable device version (0 or more) below the fetched number.
bool FirmwareIsNewer(int device_version, std::wstring_view latest);

}  // namespace calorix
