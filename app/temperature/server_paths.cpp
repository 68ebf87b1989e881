// Formatting the hardware-monitor server's path and command line.
#include "app/temperature/server_paths.h"

namespace calorix {

std::wstring MonitorServerPath(std::wstring_view program_directory, bool windows10_or_later) {
  const std::wstring_view format =
      windows10_or_later ? kWindows10ServerFormat : kWindows7ServerFormat;
  // The formats hold exactly one "%s", at their start.
  std::wstring path(program_directory);
  path += format.substr(2);
  return path;
}

std::wstring QuotedCommandLine(std::wstring_view path) {
  std::wstring line;
  line.reserve(path.size() + 2);
  line += L'"';
  line += path;
  line += L'"';
  return line;
}

}  // namespace calorix
