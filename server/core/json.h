// A small JSON reader for the one document the server fetches (LibreHardwareMonitor's tree).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvaro {

struct JsonMember;

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  double number = 0;                // also the bare NaN and Infinity some writers emit
  std::string text;                 // kString, as UTF-8
  std::vector<JsonValue> items;     // kArray
  std::vector<JsonMember> members;  // kObject, in document order

  // The first member named `key`, or null.
  const JsonValue* Find(std::string_view key) const;
  // The member's text when it is a string; empty otherwise.
  std::string_view Text(std::string_view key) const;
};

struct JsonMember {
  std::string name;
  JsonValue value;
};

inline constexpr int kJsonMaxDepth = 64;

// The whole of `text` as one value; nothing when it is not JSON, nests deeper than
// kJsonMaxDepth or has anything but blanks after the value.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace kalvaro
