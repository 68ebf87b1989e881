// Stand-in for the hardware-monitor server: publishes the named temperature block and keeps
// writing it, like the real server, with values chosen on the command line.
//
//   monitor_standin [--cpu C | --sequence C1,C2,... | --curve] [--gpu1 NAME=C] [--gpu2 NAME=C]
//                   [--delay S] [--exit-after S] [--period MS] [--uncommitted]
//
// --sequence steps through its values once per period and stays on the last; --curve
// swings between 35 and 75 degrees over a minute. Liveness stays 0 for --delay seconds,
// then counts the periods since publishing began. --uncommitted makes the block as a hostile
// process could: reserved, never committed, never written.
//
// Started without arguments (as the tray program starts its server), the options come from
// the environment variable MONITOR_STANDIN_ARGS, split at spaces.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/temperature/temperature_block.h"

namespace {

struct Options {
  std::vector<float> cpu{50.0f};
  bool curve = false;
  std::string gpu_name[2];
  float gpu_temp[2] = {0, 0};
  double delay_s = 0, exit_after_s = -1;
  DWORD period_ms = 1000;
  bool uncommitted = false;
};

std::vector<float> ParseList(const char* text) {
  std::vector<float> values;
  for (const char* p = text; *p;) {
    char* end = nullptr;
    values.push_back(std::strtof(p, &end));
    if (end == p) break;
    p = *end == ',' ? end + 1 : end;
  }
  return values;
}

void ParseGpu(const char* text, std::string* name, float* temp) {
  const char* eq = std::strrchr(text, '=');
  *name = eq ? std::string(text, eq) : std::string(text);
  *temp = eq ? std::strtof(eq + 1, nullptr) : 0.0f;
}

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--curve" || a == "--uncommitted") {
      (a == "--curve" ? o->curve : o->uncommitted) = true;
      continue;
    }
    if (!v) return false;
    ++i;
    if (a == "--cpu" || a == "--sequence")
      o->cpu = ParseList(v);
    else if (a == "--gpu1")
      ParseGpu(v, &o->gpu_name[0], &o->gpu_temp[0]);
    else if (a == "--gpu2")
      ParseGpu(v, &o->gpu_name[1], &o->gpu_temp[1]);
    else if (a == "--delay")
      o->delay_s = std::atof(v);
    else if (a == "--exit-after")
      o->exit_after_s = std::atof(v);
    else if (a == "--period")
      o->period_ms = static_cast<DWORD>(std::atoi(v));
    else
      return false;
  }
  return !o->cpu.empty() && o->period_ms > 0;
}

float CpuAt(const Options& o, unsigned tick, double seconds) {
  if (o.curve) return static_cast<float>(55.0 + 20.0 * std::sin(seconds * 2 * 3.14159265 / 60));
  return o.cpu[tick < o.cpu.size() ? tick : o.cpu.size() - 1];
}

void CopyName(char (&field)[calorix::kGpuNameSize], const std::string& name) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, name.data(), name.size() < sizeof field ? name.size() : sizeof field - 1);
}

// The options of MONITOR_STANDIN_ARGS as an argument vector (argv[0] kept).
std::vector<char*> EnvironmentArguments(char* program, std::string& storage) {
  std::vector<char*> args{program};
  const char* text = std::getenv("MONITOR_STANDIN_ARGS");
  storage = text ? text : "";
  for (char* token = std::strtok(storage.data(), " "); token; token = std::strtok(nullptr, " "))
    args.push_back(token);
  return args;
}

}  // namespace

int main(int argc, char** argv) {
  std::string storage;
  std::vector<char*> from_environment;
  if (argc == 1) {
    from_environment = EnvironmentArguments(argv[0], storage);
    argc = static_cast<int>(from_environment.size());
    argv = from_environment.data();
  }
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: monitor_standin [--cpu C | --sequence C1,C2 | --curve] "
                 "[--gpu1 NAME=C] [--gpu2 NAME=C] [--delay S] [--exit-after S] "
                 "[--period MS] [--uncommitted]\n");
    return 2;
  }
  HANDLE mapping = ::CreateFileMappingA(
      INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | (o.uncommitted ? SEC_RESERVE : 0), 0,
      calorix::kTemperatureBlockSize, calorix::kTemperatureBlockName);
  if (!mapping) return 1;
  auto* block = static_cast<calorix::TemperatureBlock*>(
      ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, calorix::kTemperatureBlockSize));
  if (!block) return 1;
  std::printf("publishing %s\n", calorix::kTemperatureBlockName);
  std::fflush(stdout);

  const ULONGLONG start = ::GetTickCount64();
  for (unsigned tick = 0;; ++tick) {
    const double seconds = (::GetTickCount64() - start) / 1000.0;
    if (o.exit_after_s >= 0 && seconds >= o.exit_after_s) break;
    if (o.uncommitted) {
      ::Sleep(o.period_ms);
      continue;
    }
    const bool live = seconds >= o.delay_s;
    block->cpu_temperature = live ? CpuAt(o, tick, seconds) : 0.0f;
    block->cpu_liveness = live ? block->cpu_liveness + 1.0f : 0.0f;
    CopyName(block->gpu1_name, o.gpu_name[0]);
    CopyName(block->gpu2_name, o.gpu_name[1]);
    block->gpu1_temperature = o.gpu_temp[0];
    block->gpu2_temperature = o.gpu_temp[1];
    ::Sleep(o.period_ms);
  }
  ::UnmapViewOfFile(block);
  ::CloseHandle(mapping);
  return 0;
}
