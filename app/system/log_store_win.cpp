// The log's file on Windows: its folders held from the volume's root down, the file opened
// relative to the last of them and renamed through its own handle, none of it through a link.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/base/utf8_text.h"
#include "app/system/held_path.h"
#include "app/system/link_checks.h"
#include "app/system/log.h"
#include "app/system/log_store.h"

namespace calorix {
namespace {

// Deletion access is taken only for the rename: held all along, it would shut out every
// reader that does not share deletion.
constexpr ACCESS_MASK kLogAccess =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Other copies of the program write the same file, and any of them may move it aside. Whoever
// renames it moves the file itself, never where a name leads.
constexpr ULONG kLogSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class HeldLogStore final : public LogStore {
 public:
  HeldLogStore(HeldFolders folder, std::wstring name)
      : folder_(std::move(folder)), name_(std::move(name)) {}

  bool Open() override {
    std::string why;
    file_ = OpenFileIn(folder_, name_, kLogAccess, kLogSharing, &why);
    if (!file_ && !told_) {
      // Named by its file: the server may write to the same stream.
      std::fprintf(stderr, "log %s: %s; nothing is written there\n", LogText(name_).c_str(),
                   why.c_str());
      told_ = true;
    }
    return static_cast<bool>(file_);
  }
  bool IsOpen() const override { return static_cast<bool>(file_); }
  std::uintmax_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.get(), &size) ? static_cast<std::uintmax_t>(size.QuadPart) : 0;
  }
  void Append(const char* text, std::size_t size) override {
    // At the end of the file, wherever another writer has left it.
    OVERLAPPED end{};
    end.Offset = end.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    ::WriteFile(file_.get(), text, static_cast<DWORD>(size), &written, &end);
  }
  void Rotate() override {
    // The same file again, by its handle, not by its name.
    const UniqueFileHandle movable(
        ::ReOpenFile(file_.get(), DELETE | SYNCHRONIZE, kLogSharing, FILE_FLAG_OPEN_REPARSE_POINT));
    if (movable && RenameInto(movable.get(), folder_.last(), name_ + L".1")) {
      file_.reset();
      Open();
      return;
    }
    FILE_END_OF_FILE_INFO empty{};
    ::SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &empty, sizeof empty);
  }

 private:
  HeldFolders folder_;  // owned: held while the log is attached
  std::wstring name_;
  UniqueKernelHandle file_;  // owned; null while closed
  bool told_ = false;        // a refusal is written once
};

}  // namespace

bool LogOpenIn(const std::wstring& folder, std::wstring_view name, bool make_folder,
               std::uintmax_t max_bytes) {
  const std::optional<DrivePath> split = SplitDrivePath(folder);
  const std::size_t make_from =
      make_folder && split && !split->names.empty() ? split->names.size() - 1 : SIZE_MAX;
  return LogAttach(
      std::make_unique<HeldLogStore>(HeldFolders::Hold(folder, make_from), std::wstring(name)),
      max_bytes);
}

bool LogOpen(const std::filesystem::path& file, std::uintmax_t max_bytes) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(file, ec);
  path.make_preferred();
  return LogOpenIn(path.parent_path().wstring(), path.filename().wstring(), false, max_bytes);
}

}  // namespace calorix
