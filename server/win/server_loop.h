// The server's work: once a second one look at the sources and the block rewritten, the
// settings read again every 30 s; nothing else wakes it.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "app/temperature/temperature_block.h"
#include "server/core/settings.h"
#include "server/core/sources.h"
#include "server/win/monitor_readers.h"

namespace kalvaro {

class ServerLoop {
 public:
  static constexpr std::int64_t kPeriodMs = 1000;
  static constexpr std::int64_t kSettingsMs = 30000;

  // Neither is owned: both outlive the loop.
  ServerLoop(volatile calorix::TemperatureBlock& block, MonitorReaders& readers);

  // One second's work at `now_ms` (a monotonic clock).
  void Step(std::int64_t now_ms);
  // Steps once a second for the rest of the process's life, sleeping in between.
  [[noreturn]] void Run();

 private:
  void ApplySettings();
  void LogChanges(const std::optional<Pick>& pick, std::optional<SourceId> before);

  volatile calorix::TemperatureBlock& block_;
  MonitorReaders& readers_;
  SourceSwitch switch_;
  ServerSettings settings_;
  std::int64_t next_settings_ms_ = 0;
  float liveness_ = 0;
  std::set<std::string> complaints_;  // logged already, while the value stays bad
  std::string label_miss_;            // the last "label not found" logged
  bool none_logged_ = false;
};

}  // namespace kalvaro
