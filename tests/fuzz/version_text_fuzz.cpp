// Any fetched body either is ignored or is a plain version; comparing versions is consistent.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/update/version_text.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckAccepted(const std::wstring& body, calorix::VersionKind kind) {
  const auto version = calorix::AcceptVersionText(body, kind);
  if (!version) return;
  Require(!version->empty() && version->size() <= calorix::kMaxVersionTextLength);
  Require(version->find_first_not_of(L"0123456789.") == std::wstring::npos);
  Require(version->find(L"..") == std::wstring::npos);
  Require(version->front() != L'.' && version->back() != L'.');
  if (kind == calorix::VersionKind::kFirmware) Require(version->find(L'.') == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  CheckAccepted(text, calorix::VersionKind::kSoftware);
  CheckAccepted(text, calorix::VersionKind::kFirmware);
  const std::wstring a = text.substr(0, text.size() / 2);
  const std::wstring b = text.substr(text.size() / 2);
  Require(calorix::CompareVersions(a, a) == 0);
  const int forward = calorix::CompareVersions(a, b);
  const int backward = calorix::CompareVersions(b, a);
  Require(forward == 2 ? backward == 2 : forward == -backward);
  calorix::FirmwareIsNewer(static_cast<int>(size) - 1, b);
  return 0;
}
