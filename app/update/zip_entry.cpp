// Zip entry names, attributes and times.
#include "app/update/zip_entry.h"

#include <algorithm>
#include <array>

namespace calorix {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Drive prefixes, leading separators and everything up to a parent step, repeated until none
// is left. A leading "..\" or "../" counts as a parent step too: it has nothing in front of
// it to skip, and it would otherwise stay.
std::wstring_view SkipPrefixes(std::wstring_view name) {
  static constexpr std::array<std::wstring_view, 4> kParentSteps = {L"\\..\\", L"\\../", L"/../",
                                                                    L"/..\\"};
  for (;;) {
    if (name.size() >= 2 && name[1] == L':') {
      name.remove_prefix(2);
    } else if (!name.empty() && IsSeparator(name[0])) {
      name.remove_prefix(1);
    } else if (name.size() >= 3 && name[0] == L'.' && name[1] == L'.' && IsSeparator(name[2])) {
      name.remove_prefix(3);
    } else {
      std::size_t first = std::wstring_view::npos;
      for (std::wstring_view step : kParentSteps) first = std::min(first, name.find(step));
      if (first == std::wstring_view::npos) return name;
      name.remove_prefix(first + 4);
    }
  }
}

bool IsDeviceName(std::wstring_view component) {
  // Windows opens the device for its name with any extension, and ignores trailing blanks.
  std::wstring_view stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  std::wstring upper(stem);
  for (wchar_t& c : upper)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  static constexpr std::array<std::wstring_view, 7> kDevices = {
      L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
  if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) return true;
  if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0))
    return false;
  const wchar_t n = upper[3];
  // Superscript one, two and three name ports as well.
  return (n >= L'0' && n <= L'9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

// "." and ".." end in a dot, so no parent step passes either.
bool IsPlainComponent(std::wstring_view component) {
  static constexpr std::wstring_view kForbidden = L"<>:\"|?*";
  for (wchar_t c : component)
    if (c < 0x20 || kForbidden.find(c) != std::wstring_view::npos) return false;
  if (component.back() == L'.' || component.back() == L' ') return false;
  return !IsDeviceName(component);
}

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::optional<std::wstring> CleanEntryName(std::wstring_view stored) {
  std::wstring_view rest = SkipPrefixes(stored);
  const bool folder = !rest.empty() && IsSeparator(rest.back());
  std::wstring cleaned;
  while (!rest.empty()) {
    const auto end = std::find_if(rest.begin(), rest.end(), IsSeparator);
    const std::wstring_view component(rest.data(), static_cast<std::size_t>(end - rest.begin()));
    rest.remove_prefix(component.size() + (end != rest.end() ? 1 : 0));
    if (component.empty() || component == L".") continue;
    if (!IsPlainComponent(component)) return std::nullopt;
    if (!cleaned.empty()) cleaned += L'\\';
    cleaned += component;
  }
  if (cleaned.empty()) return std::nullopt;
  if (folder) cleaned += L'\\';
  return cleaned;
}

std::uint32_t DecodeAttributes(unsigned host_system, std::uint32_t external_attributes) {
  std::uint32_t attributes = 0;
  if (host_system == 0 || host_system == 7 || host_system == 11 || host_system == 14) {
    const std::uint32_t dos = external_attributes & 0xFF;
    if (dos & 0x01) attributes |= kAttributeReadOnly;
    if (dos & 0x02) attributes |= kAttributeHidden;
    if (dos & 0x04) attributes |= kAttributeSystem;
    if (dos & 0x10) attributes |= kAttributeFolder;
    if (dos & 0x20) attributes |= kAttributeArchive;
    return attributes;
  }
  attributes = kAttributeArchive;
  if (external_attributes & (1u << 30)) attributes |= kAttributeFolder;       // S_IFDIR
  if (!(external_attributes & (1u << 23))) attributes |= kAttributeReadOnly;  // owner write
  return attributes;
}

std::optional<DosDateTime> DecodeDosDateTime(std::uint32_t dos_date_time) {
  const std::uint32_t date = dos_date_time >> 16;
  const std::uint32_t time = dos_date_time & 0xFFFF;
  DosDateTime t{};
  t.year = static_cast<int>(date >> 9) + 1980;
  t.month = static_cast<int>(date >> 5 & 0x0F);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>(time >> 5 & 0x3F);
  t.second = static_cast<int>(time & 0x1F) * 2;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12 || t.day < 1) return std::nullopt;
  const bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
  if (t.day > kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0)) return std::nullopt;
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

ExtendedTimes ParseExtendedTimestamp(const std::uint8_t* extra, std::size_t size) {
  ExtendedTimes times;
  constexpr std::uint16_t kExtendedTimestamp = 0x5455;  // "UT"
  while (extra && size >= 4) {
    const std::uint16_t id = Read16(extra);
    const std::size_t length = Read16(extra + 2);
    if (length > size - 4) break;
    const std::uint8_t* data = extra + 4;
    if (id == kExtendedTimestamp && length >= 1) {
      std::optional<std::uint64_t>* slots[] = {&times.modification, &times.access, &times.creation};
      std::size_t at = 1;
      for (int bit = 0; bit < 3 && at + 4 <= length; ++bit) {
        if (!(data[0] & (1 << bit))) continue;
        *slots[bit] = UnixSecondsToFileTime(Read32(data + at));
        at += 4;
      }
      break;
    }
    extra += 4 + length;
    size -= 4 + length;
  }
  return times;
}

std::uint64_t UnixSecondsToFileTime(std::uint32_t seconds) {
  return static_cast<std::uint64_t>(seconds) * 10000000ULL + 116444736000000000ULL;
}

}  // namespace calorix
