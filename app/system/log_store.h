// Where the log's lines are kept: one file, moved aside when it is full. The platform's
// LogOpen makes one and attaches it with LogAttach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace calorix {

class LogStore {
 public:
  virtual ~LogStore() = default;
  // Opens the file for appending, making it when missing; false when it cannot be (a closed
  // store is opened again before the next line).
  virtual bool Open() = 0;
  virtual bool IsOpen() const = 0;
  // The bytes in the file, asked of the file written to.
  virtual std::uintmax_t Size() = 0;
  virtual void Append(const char* text, std::size_t size) = 0;
  // Moves the file aside as "<name>.1", replacing that, and goes on in a new file. A file
  // that cannot be moved aside starts again empty: appending to it would let it grow by
  // another full limit on every cycle.
  virtual void Rotate() = 0;
};

// Attaches the log to `store`, opening it; false (and the log detached) when it cannot be.
bool LogAttach(std::unique_ptr<LogStore> store, std::uintmax_t max_bytes);

#ifdef _WIN32
// Attaches the log to the file `name` in `folder`, made when missing and `make_folder` (the
// folders above it never are).
bool LogOpenIn(const std::wstring& folder, std::wstring_view name, bool make_folder,
               std::uintmax_t max_bytes);
#endif

}  // namespace calorix
