// The names of the worker's command codes, for the log.
#include "app/base/worker_commands.h"

#include <iterator>

namespace calorix {

const char* WorkerCommandName(int code) {
  // Indexed by code; 0 and 2 are not commands.
  static constexpr const char* kNames[] = {
      nullptr,
      "RefreshDevices",
      nullptr,
      "CheckSoftware",
      "CheckFirmware",
      "CheckSoftwareQuiet",
      "CheckFirmwareQuiet",
      "UpdateSoftware",
      "UpdateFirmware",
  };
  if (code < 0 || code >= static_cast<int>(std::size(kNames))) return nullptr;
  return kNames[code];
}

}  // namespace calorix
