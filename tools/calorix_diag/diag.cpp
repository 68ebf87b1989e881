// CalorixDiag's command dispatch, the stop request and the text helpers its commands share.
#include "tools/calorix_diag/diag.h"

#include "app/base/product.h"
#include "app/device/display_report.h"
#include "app/system/settings.h"
#include "tools/calorix_diag/diag_report.h"

namespace calorix::diag {
namespace {

// Manual reset: once stopped, every later wait returns at once. Lives until process exit.
HANDLE StopEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

}  // namespace

void RequestStop() { ::SetEvent(StopEvent()); }

bool WaitOrStop(int ms) { return ::WaitForSingleObject(StopEvent(), ms) == WAIT_OBJECT_0; }

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

bool SettingsStored() {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(raw);
  return true;
}

// ReadSetting would create the key; a look must change nothing.
int StoredUnit() { return SettingsStored() ? ReadSetting(kTempeType) : kCelsius; }

std::string AdapterText(const TemperatureBlock& block) {
  const char(*name)[kGpuNameSize] = block.gpu1_name[0]   ? &block.gpu1_name
                                    : block.gpu2_name[0] ? &block.gpu2_name
                                                         : nullptr;
  if (!name) return "GPU none";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f C", SelectGpuTemperature(block));
  return "GPU \"" + std::string(*name, GpuNameLength(*name)) + "\" " + text;
}

std::string CpuText(float celsius, int unit) {
  char text[96];
  if (const std::optional<int> shown = DisplayValue(celsius, unit)) {
    std::snprintf(text, sizeof text, "CPU %.1f C, display %03d (%s)", celsius, *shown,
                  unit == kFahrenheit ? "Fahrenheit" : "Celsius");
  } else if (celsius == 0.0f) {
    std::snprintf(text, sizeof text, "CPU no value yet");
  } else {
    std::snprintf(text, sizeof text, "CPU %g, not shown", celsius);
  }
  return text;
}

std::string SourceText(const kalvaro::SourceTagText& tag) {
  if (tag.source.empty()) return "none (no hardware monitor publishes a fresh value)";
  return tag.source + ", \"" + tag.label + "\"" + (tag.approximate ? " (approximate)" : "");
}

int Run(const Options& options, const Streams& io) {
  switch (options.command) {
    case Command::kStatus:
      return Status(io);
    case Command::kShow:
      return Show(options.value, io);
    case Command::kSweep:
      return Sweep(options.interval_ms.value_or(kSweepIntervalMs), io);
    case Command::kWatch:
      return Watch(options.interval_ms.value_or(kWatchIntervalMs), options.count.value_or(-1), io);
    case Command::kSensors:
      return Sensors(io);
    case Command::kRemoveTask:
      return RemoveTask(io);
    case Command::kEndProgram:
      return EndProgram(io);
    case Command::kVersion:
      std::fprintf(io.out, "CalorixDiag %s\n", Utf8(kProgramVersion).c_str());
      return 0;
    case Command::kHelp:
      std::fputs(kUsage, io.out);
      return 0;
  }
  return 2;
}

int Main(const std::vector<std::string>& args, const Streams& io) {
  const Parsed parsed = ParseOptions(args);
  if (!parsed.options) {
    std::fprintf(io.err, "CalorixDiag: %s\nTry \"CalorixDiag --help\".\n", parsed.error.c_str());
    return 2;
  }
  return Run(*parsed.options, io);
}

}  // namespace calorix::diag
