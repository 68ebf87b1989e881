// When a path component that was opened is not the entry it was meant to be: the decisions,
// apart from the system calls that gather the facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calorix {

inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;
inline constexpr std::uint32_t kNoAttributes = 0xFFFFFFFF;   // the path could not be read
inline constexpr std::uint32_t kTagMountPoint = 0xA0000003;  // junctions and mounted volumes
inline constexpr std::uint32_t kTagSymbolicLink = 0xA000000C;

// A path on a drive: its root ("C:\") and the names below it, in order.
struct DrivePath {
  std::wstring root;
  std::vector<std::wstring> names;
};

// Nothing for a path that is not absolute on a drive letter, or that holds an empty name,
// "." or "..", or a stream (":"): opened one name at a time, such a path would not lead where
// the system would take it. A trailing backslash is allowed.
std::optional<DrivePath> SplitDrivePath(std::wstring_view path);

// The root and the first `count` names, without a trailing backslash below the root.
std::wstring JoinDrivePath(const DrivePath& path, std::size_t count);

// What the program learnt about one entry it opened.
struct OpenedFacts {
  std::uint32_t path_attributes = kNoAttributes;  // read by path: Wine shows a Unix link only here
  std::uint32_t handle_attributes = 0;            // read through the handle
  std::uint32_t reparse_tag = 0;                  // through the handle, with a reparse point
  std::uint32_t link_count = 1;                   // names of a file (folders are not asked)
  std::wstring final_path;                        // as GetFinalPathNameByHandleW gives it
};

enum class Opened {
  kItself,
  kUnreadable,    // its attributes could not be read by path
  kJunction,      // also a mounted volume
  kSymbolicLink,  // also a Unix link under Wine
  kReparsePoint,  // of another kind
  kSeveralNames,  // a file with hard links: the other names may be anywhere on the volume
  kElsewhere,     // its final path is not the path it was opened as
};

// Whether the entry opened as `expected` is that entry itself and no link. `same` compares two
// paths as the file system would (its case rules); `file` asks about hard links too.
Opened Judge(const OpenedFacts& facts, std::wstring_view expected, bool file,
             bool (*same)(std::wstring_view, std::wstring_view));

// "is a junction", "has more than one name", ...; empty for kItself.
const char* OpenedText(Opened opened);

// The path without the \\?\ that GetFinalPathNameByHandleW puts before it, and without a
// trailing backslash below a drive's root.
std::wstring_view PlainFinalPath(std::wstring_view path);

}  // namespace calorix
