// The log's file through the C library, for the host build (the tests of the log's rules).
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/system/log.h"
#include "app/system/log_store.h"

namespace calorix {
namespace {

class StdioLogStore final : public LogStore {
 public:
  explicit StdioLogStore(std::filesystem::path path) : path_(std::move(path)) {}
  ~StdioLogStore() override { Close(); }

  bool Open() override { return Reopen("ab"); }
  bool IsOpen() const override { return file_ != nullptr; }
  std::uintmax_t Size() override {
    struct stat status {};
    return ::fstat(::fileno(file_), &status) == 0 ? static_cast<std::uintmax_t>(status.st_size) : 0;
  }
  void Append(const char* text, std::size_t size) override {
    std::fwrite(text, 1, size, file_);
    std::fflush(file_);
  }
  void Rotate() override {
    Close();
    std::error_code ec;
    std::filesystem::path old = path_;
    old += ".1";
    std::filesystem::remove(old, ec);
    std::filesystem::rename(path_, old, ec);
    Reopen(ec ? "wb" : "ab");
  }

 private:
  bool Reopen(const char* mode) {
    Close();
    file_ = std::fopen(path_.c_str(), mode);
    return file_ != nullptr;
  }
  void Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;  // owned; null while closed
};

}  // namespace

bool LogOpen(const std::filesystem::path& file, std::uintmax_t max_bytes) {
  return LogAttach(std::make_unique<StdioLogStore>(file), max_bytes);
}

}  // namespace calorix
