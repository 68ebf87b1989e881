// Bounds-checked little-endian reads from a copy of another process's shared memory.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace kalvaro {

static_assert(std::endian::native == std::endian::little,
              "the monitors' layouts are little-endian");

// A view of bytes whose every read is checked against its end. Offsets and lengths are 64-bit
// so that a count times a stride taken from the data cannot wrap.
class Bytes {
 public:
  Bytes(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  template <class T>
  std::optional<T> Get(std::uint64_t offset) const {
    if (!Has(offset, sizeof(T))) return std::nullopt;
    T value;
    std::memcpy(&value, data_ + offset, sizeof value);
    return value;
  }

  // A fixed text field of `length` bytes: up to its first NUL, or the whole field when the
  // writer left it unterminated. Empty when the field does not fit.
  std::string_view Text(std::uint64_t offset, std::size_t length) const {
    if (!Has(offset, length)) return {};
    const char* start = reinterpret_cast<const char*>(data_ + offset);
    const void* nul = std::memchr(start, 0, length);
    return {start, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - start) : length};
  }

 private:
  const std::uint8_t* data_;  // not owned
  std::size_t size_;
};

}  // namespace kalvaro
