// Prints how fast UnzipAll unpacks one archive (see unzip_bench.sh, which compares it with
// Info-ZIP unzip on the same archive).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/update/unzip.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::puts("unzip_bench <archive> <destination folder> <uncompressed bytes>");
    return 2;
  }
  const double megabytes = std::wcstod(argv[3], nullptr) / 1e6;
  calorix::CreateFolderChain(argv[2]);  // as the update does for its temp folder
  const auto start = std::chrono::steady_clock::now();
  calorix::UnzipReport report;
  const bool opened = calorix::UnzipAll(argv[1], argv[2], &report);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("UnzipAll: %s, %zu entries complete, %d skipped, %.3f s, %.1f MB/s uncompressed\n",
              opened ? "opened" : "NOT opened", report.complete.size(), report.skipped, seconds,
              megabytes / seconds);
  return opened && report.skipped == 0 ? 0 : 1;
}
