// Console check of the temperature source and the displays, through the program's own code:
// maps the block, refreshes the displays and prints what it sees once a second.
//
//   calorix_check [--seconds N]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/device/refresh_devices.h"
#include "app/temperature/temperature_block.h"

namespace {

std::string Name(const char (&field)[calorix::kGpuNameSize]) {
  return std::string(field, calorix::GpuNameLength(field));
}

void PrintBlock(const calorix::TemperatureBlock& b, int displays) {
  std::printf("cpu %.1f C, liveness %.0f, gpu1 \"%s\" %.1f C, gpu2 \"%s\" %.1f C, displays %d\n",
              b.cpu_temperature, b.cpu_liveness, Name(b.gpu1_name).c_str(), b.gpu1_temperature,
              Name(b.gpu2_name).c_str(), b.gpu2_temperature, displays);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 5;
  if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) seconds = std::atoi(argv[2]);
  calorix::TemperatureMapping temperature;
  calorix::DeviceManager& devices = calorix::DeviceManager::Instance();
  calorix::RefreshDevices(devices, temperature);
  if (!temperature.Block()) {
    std::fprintf(stderr, "cannot map %s\n", calorix::kTemperatureBlockName);
    return 1;
  }
  for (int i = 0; i < seconds; ++i) {
    PrintBlock(*temperature.Block(), devices.DeviceCount());
    if (i + 1 < seconds) ::Sleep(1000);
  }
  return 0;
}
