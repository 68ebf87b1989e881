// Any stored entry name either is refused or becomes a plain relative name inside the folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <algorithm>
#include <string_view>

#include "app/update/zip_entry.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring stored;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    stored.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  const auto cleaned = calorix::CleanEntryName(stored);
  if (!cleaned) return 0;
  std::wstring_view rest = *cleaned;
  Require(!rest.empty() && rest.front() != L'\\');
  Require(rest.find_first_of(L"/:<>\"|?*") == std::wstring_view::npos);
  if (rest.back() == L'\\') rest.remove_suffix(1);  // a folder
  while (!rest.empty()) {
    const std::wstring_view component = rest.substr(0, rest.find(L'\\'));
    Require(!component.empty() && component.back() != L'.' && component.back() != L' ');
    for (wchar_t c : component) Require(c >= 0x20);
    rest.remove_prefix(std::min(rest.size(), component.size() + 1));
  }
  return 0;
}
