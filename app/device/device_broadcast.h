// The device-interface broadcast record of a device change, read from memory the system
// (or any other sender) hands the main window, and the display's marker in its path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calorix {

inline constexpr std::uint32_t kDeviceTypeInterface = 5;
// Size, device type and reserved word, then the interface class identifier; the path follows.
inline constexpr std::size_t kInterfaceRecordHeaderSize = 28;
inline constexpr std::u16string_view kDisplayPathMarker = u"VID_1A2C&PID_444D";

// The interface path of the device-interface record at `record`: the UTF-16 text after its
// header, up to its terminating zero or the end of the record's stated size, whichever comes
// first. Nothing for a null record, one of another device type, or one whose stated size
// does not cover its header. No byte past the stated size is read; the record must hold at
// least its 4-byte size field.
std::optional<std::u16string> BroadcastInterfacePath(const void* record);

// Whether `path` contains the display's marker. Interface paths are ASCII, so upper-casing
// is ASCII-only: no other character can turn into part of the marker.
bool PathNamesDisplay(std::u16string_view path);

}  // namespace calorix
