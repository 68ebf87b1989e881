// The command line of CalorixDiag, the diagnostics tool for users and support.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace calorix::diag {

enum class Command {
  kStatus,      // displays, temperature block, server, tray program, settings (the default)
  kShow,        // send one value to every display
  kSweep,       // count 000 to 199 on every display: every segment lights up
  kWatch,       // print the readings at an interval
  kSensors,     // every temperature of every hardware monitor found, and the one in use
  kRemoveTask,  // delete the logon task (the uninstaller runs this)
  kEndProgram,  // end every running tray program and server (installer and uninstaller)
  kVersion,
  kHelp,
};

struct Options {
  Command command = Command::kStatus;
  int value = 0;                   // --show
  std::optional<int> interval_ms;  // --sweep and --watch; each has its own default
  std::optional<long long> count;  // --watch: lines to print; without it, until Ctrl+C
};

inline constexpr int kSweepIntervalMs = 100;
inline constexpr int kWatchIntervalMs = 1000;

// The options, or the reason they make no sense as a one-line message.
struct Parsed {
  std::optional<Options> options;
  std::string error;
};

// `args` excludes the program name.
Parsed ParseOptions(const std::vector<std::string>& args);

extern const char kUsage[];

}  // namespace calorix::diag
