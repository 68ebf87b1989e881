// Opening, copying and closing a monitor's section.
#include "server/win/shared_section.h"

#include <cstring>

#include "app/system/readable_view.h"

namespace kalvaro {

namespace {

// The monitor holds its lock only while it writes; a copy that waits longer goes ahead
// without it (the parsers take torn data).
constexpr DWORD kLockWaitMs = 50;

}  // namespace

SharedSection::SharedSection(std::vector<std::wstring> names, std::wstring mutex)
    : names_(std::move(names)), mutex_name_(std::move(mutex)) {}

bool SharedSection::Open() {
  for (const std::wstring& name : names_) {
    mapping_.reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
    if (mapping_) break;
  }
  if (!mapping_) return false;
  // The whole section, whatever its size: a fixed size larger than the section fails.
  view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
  // Only what can be read: the elevated server must not fault on a section some other
  // program of the session made under the monitor's name and left uncommitted.
  size_ = view_ ? calorix::ReadableBytes(view_.get(), kMaxCopy) : 0;
  if (size_ == 0) {
    Close();
    return false;
  }
  if (!mutex_name_.empty()) mutex_.reset(::OpenMutexW(SYNCHRONIZE, FALSE, mutex_name_.c_str()));
  return true;
}

bool SharedSection::Copy(std::vector<std::uint8_t>& out, bool keep) {
  if (!view_ && !Open()) return false;
  const DWORD locked = mutex_ ? ::WaitForSingleObject(mutex_.get(), kLockWaitMs) : WAIT_FAILED;
  out.resize(size_);
  std::memcpy(out.data(), view_.get(), size_);
  if (locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED) ::ReleaseMutex(mutex_.get());
  if (!keep) Close();
  return true;
}

void SharedSection::Close() {
  view_.reset();
  mapping_.reset();
  mutex_.reset();
  size_ = 0;
}

}  // namespace kalvaro
