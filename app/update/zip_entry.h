// What the unpacking reads from a zip entry's header, decoded without the Windows API: the
// cleaned name, the Windows attributes and the times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calorix {

// Stored names of this many bytes or more are not unpacked (they used to be cut short).
inline constexpr std::size_t kMaxEntryNameBytes = 260;

// Windows file attribute bits, as CreateFileW takes them.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeFolder = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

// The name an entry is unpacked under, relative to the destination folder and separated by
// backslashes; a trailing backslash marks a folder. Drive prefixes, leading separators and
// leading parent steps are skipped (so ..\..\Windows\x.dll becomes Windows\x.dll), empty and
// "." components are dropped. A name that could still reach outside the folder, or that
// Windows would read as something other than a plain file name, gives nothing: a ".."
// component left over, a colon anywhere (drives, alternate data streams), device names such
// as CON or LPT1.txt, characters Windows forbids in names, and components ending in a dot or
// a blank (Windows drops those, so two names could meet).
std::optional<std::wstring> CleanEntryName(std::wstring_view stored);

// Windows attributes from the entry's external attributes. Hosts 0 (MS-DOS), 7, 11 (NTFS)
// and 14 (VFAT) store DOS attribute bits in the low byte; every other host stores a Unix
// mode in the high 16 bits: folder from the directory bit, read-only when the owner may not
// write, archive always.
std::uint32_t DecodeAttributes(unsigned host_system, std::uint32_t external_attributes);

struct DosDateTime {
  int year, month, day, hour, minute, second;
};
// The DOS date (high word) and time (low word) of an entry, or nothing for an impossible
// date or time.
std::optional<DosDateTime> DecodeDosDateTime(std::uint32_t dos_date_time);

// The times an extended-timestamp ("UT") block carries, as FILETIME values (100 ns since
// 1601-01-01, UTC). A time the block's flags announce but its size does not hold is absent.
struct ExtendedTimes {
  std::optional<std::uint64_t> modification;
  std::optional<std::uint64_t> access;
  std::optional<std::uint64_t> creation;
};
// Reads the first "UT" block of an entry's local extra field; stops at a block whose size
// runs past the field.
ExtendedTimes ParseExtendedTimestamp(const std::uint8_t* extra, std::size_t size);

std::uint64_t UnixSecondsToFileTime(std::uint32_t seconds);

}  // namespace calorix
