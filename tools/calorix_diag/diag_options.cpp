// Parsing CalorixDiag's command line: one command, its numbers checked against their ranges.
#include "tools/calorix_diag/diag_options.h"

#include <cstdint>
#include <limits>

#include "app/device/display_report.h"

namespace calorix::diag {

const char kUsage[] =
    "Usage: CalorixDiag [command]\n"
    "\n"
    "  (no command)     show the displays, the temperature block, whether the server\n"
    "                   (Kalvaro.exe) and the tray program run, and the settings\n"
    "  --show N         send N (0 to 199) to every display\n"
    "  --sweep          count 000 to 199 on every display (segment test)\n"
    "  --watch          print the readings once a second until Ctrl+C\n"
    "  --interval MS    with --sweep (default 100) or --watch (default 1000)\n"
    "  --count N        with --watch: stop after N lines\n"
    "  --sensors        list every temperature of every hardware monitor found, and\n"
    "                   which one the server uses\n"
    "  --remove-task    delete the logon task \"KEM StartupTask\"\n"
    "  --end-program    end every running Calorix.exe and Kalvaro.exe\n"
    "  --version        print the version\n"
    "  --help           print this text\n"
    "\n"
    "Exit status: 0 done, 1 the command could not do its work, 2 bad arguments.\n";

namespace {

struct CommandName {
  const char* name;
  Command command;
};

constexpr CommandName kCommands[] = {
    {"--status", Command::kStatus},
    {"--show", Command::kShow},
    {"--sweep", Command::kSweep},
    {"--watch", Command::kWatch},
    {"--sensors", Command::kSensors},
    {"--remove-task", Command::kRemoveTask},
    {"--end-program", Command::kEndProgram},
    {"--version", Command::kVersion},
    {"--help", Command::kHelp},
    {"-h", Command::kHelp},
    {"/?", Command::kHelp},
};

// Decimal digits only (no sign, blanks or suffix), within [low, high].
std::optional<long long> Number(const std::string& text, long long low, long long high) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < low || n > high) return std::nullopt;
  return n;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  Parsed Run() {
    for (i_ = 0; i_ < args_.size(); ++i_) {
      if (!Take(args_[i_])) return {std::nullopt, error_};
    }
    if (!CheckCombination()) return {std::nullopt, error_};
    return {options_, {}};
  }

 private:
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool Take(const std::string& arg) {
    if (arg == "--interval")
      return TakeNumber(arg, 0, 60000,
                        [&](long long n) { options_.interval_ms = static_cast<int>(n); });
    if (arg == "--count")
      return TakeNumber(arg, 1, std::numeric_limits<std::int32_t>::max(),
                        [&](long long n) { options_.count = n; });
    for (const CommandName& c : kCommands) {
      if (arg == c.name) return TakeCommand(arg, c.command);
    }
    return Fail("unknown argument \"" + arg + "\"");
  }

  bool TakeCommand(const std::string& arg, Command command) {
    if (command_seen_) return Fail("only one command at a time (\"" + arg + "\" after another)");
    command_seen_ = true;
    options_.command = command;
    if (command != Command::kShow) return true;
    return TakeNumber(
        arg, 0, kMaxDisplayValue, [&](long long n) { options_.value = static_cast<int>(n); },
        "a value from 0 to " + std::to_string(kMaxDisplayValue));
  }

  template <class Store>
  bool TakeNumber(const std::string& arg, long long low, long long high, Store store,
                  const std::string& what = {}) {
    const std::string expected =
        what.empty() ? "a number from " + std::to_string(low) + " to " + std::to_string(high)
                     : what;
    if (i_ + 1 >= args_.size()) return Fail(arg + " needs " + expected);
    const std::string& text = args_[++i_];
    const std::optional<long long> n = Number(text, low, high);
    if (!n) return Fail(arg + " needs " + expected + ", not \"" + text + "\"");
    store(*n);
    return true;
  }

  bool CheckCombination() {
    const Command c = options_.command;
    if (options_.interval_ms && c != Command::kSweep && c != Command::kWatch)
      return Fail("--interval goes with --sweep or --watch");
    if (options_.count && c != Command::kWatch) return Fail("--count goes with --watch");
    return true;
  }

  const std::vector<std::string>& args_;  // not owned: the caller's
  std::size_t i_ = 0;
  bool command_seen_ = false;
  Options options_;
  std::string error_;
};

}  // namespace

Parsed ParseOptions(const std::vector<std::string>& args) { return Parser(args).Run(); }

}  // namespace calorix::diag
