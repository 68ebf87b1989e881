// Checking and comparing version texts.
#include "app/update/version_text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "app/system/setting_text.h"

namespace calorix {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::vector<std::wstring_view> SplitParts(std::wstring_view text) {
  std::vector<std::wstring_view> parts;
  for (;;) {
    const std::size_t dot = text.find(L'.');
    parts.push_back(text.substr(0, dot));
    if (dot == std::wstring_view::npos) return parts;
    text.remove_prefix(dot + 1);
  }
}

std::wstring_view Trim(std::wstring_view text) {
  // Notepad saves UTF-8 with a byte-order mark, which survives the conversion as U+FEFF.
  auto trimmed = [](wchar_t c) { return IsBlank(c) || c == 0xFEFF; };
  while (!text.empty() && trimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && trimmed(text.back())) text.remove_suffix(1);
  return text;
}

bool IsPlainVersion(std::wstring_view text, VersionKind kind) {
  if (kind == VersionKind::kFirmware) {
    for (wchar_t c : text)
      if (!IsDigit(c)) return false;
    return !text.empty();
  }
  for (std::wstring_view part : SplitParts(text)) {
    if (part.empty()) return false;
    for (wchar_t c : part)
      if (!IsDigit(c)) return false;
  }
  return true;
}

// The leading number of a part, as _wtoi reads it (saturating instead of overflowing).
int LeadingInt(std::wstring_view text) { return ParseSettingText(std::wstring(text).c_str()); }

}  // namespace

int CompareVersions(std::wstring_view current, std::wstring_view latest) {
  const auto current_parts = SplitParts(current);
  const auto latest_parts = SplitParts(latest);
  if (current_parts.size() != latest_parts.size()) return 2;
  for (std::size_t i = 0; i < current_parts.size(); ++i) {
    const int mine = LeadingInt(current_parts[i]);
    const int theirs = LeadingInt(latest_parts[i]);
    if (mine > theirs) return -1;
    if (mine < theirs) return 1;
  }
  return 0;
}

std::optional<std::wstring> AcceptVersionText(std::wstring_view body, VersionKind kind) {
  if (body.empty() || body.size() > kMaxVersionTextLength) return std::nullopt;
  const std::wstring_view text = Trim(body);
  if (!IsPlainVersion(text, kind)) return std::nullopt;
  return std::wstring(text);
}

int FirmwareNumber(int device_version) {
  wchar_t hex[16] = {};
  std::swprintf(hex, std::size(hex), L"%x", static_cast<unsigned>(device_version));
  return LeadingInt(hex);
}

bool SoftwareIsNewer(std::wstring_view current, std::wstring_view latest) {
  // A missing part counts as 0, so 1.0.1 is newer than 1.0.0.9 and 1.0 is older: a server
  // cannot pass an older release off as newer by giving it another number of parts.
  const auto current_parts = SplitParts(current);
  const auto latest_parts = SplitParts(latest);
  for (std::size_t i = 0; i < std::max(current_parts.size(), latest_parts.size()); ++i) {
    const int mine = i < current_parts.size() ? LeadingInt(current_parts[i]) : 0;
    const int theirs = i < latest_parts.size() ? LeadingInt(latest_parts[i]) : 0;
    if (mine != theirs) return theirs > mine;
  }
  return false;
}

bool FirmwareIsNewer(int device_version, std::wstring_view latest) {
  return device_version >= 0 && LeadingInt(latest) > FirmwareNumber(device_version);
}

}  // namespace calorix
