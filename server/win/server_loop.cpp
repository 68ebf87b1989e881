// Steps of the server, and its log lines: only changes are logged, never a second's routine.
#include "server/win/server_loop.h"

#include <windows.h>

#include "app/system/log.h"
#include "server/core/block.h"
#include "server/win/stored_settings.h"

namespace kalvaro {

namespace {

std::string Adapters(const Pick& pick) {
  std::string text;
  for (std::size_t i : pick.choice.gpus) {
    const Reading& gpu = pick.sample.readings[i];
    char value[32];
    std::snprintf(value, sizeof value, "\" %.1f C", gpu.celsius);
    text += (text.empty() ? "; adapters \"" : ", \"") + gpu.adapter_name + value;
  }
  return text;
}

}  // namespace

ServerLoop::ServerLoop(volatile calorix::TemperatureBlock& block, MonitorReaders& readers)
    : block_(block), readers_(readers) {}

void ServerLoop::ApplySettings() {
  std::vector<std::string> complaints;
  settings_ = ParseSettings(ReadStoredSettings(), &complaints);
  std::set<std::string> now(complaints.begin(), complaints.end());
  for (const std::string& line : now) {
    if (!complaints_.count(line)) calorix::LogPrint(calorix::Warn, "%s", line.c_str());
  }
  complaints_ = std::move(now);
  readers_.SetLhmPort(settings_.lhm_port);
  switch_.Restrict(settings_.only, [this](SourceId id) { readers_.Release(id); });
}

void ServerLoop::LogChanges(const std::optional<Pick>& pick, std::optional<SourceId> before) {
  const std::optional<SourceId> now = pick ? std::optional(pick->source) : std::nullopt;
  // Left for a worse source or for none: it failed. For a better one: it was simply passed.
  if (before && (!now || *now > *before)) {
    calorix::LogPrint(calorix::Info, "%s: %s", Info(*before).name, switch_.left_because());
  }
  if (pick && now != before) {
    const Reading& cpu = pick->sample.readings[*pick->choice.cpu];
    calorix::LogPrint(calorix::Info, "using %s%s: \"%s\" %.1f C%s", Info(pick->source).name,
                      Info(pick->source).approximate ? " (approximate)" : "", cpu.label.c_str(),
                      cpu.celsius, Adapters(*pick).c_str());
    none_logged_ = false;
  }
  if (!pick && !none_logged_) {
    calorix::LogPrint(calorix::Info, "no monitor has a fresh CPU temperature; publishing none");
    none_logged_ = true;
  }
  const std::string miss = pick && pick->choice.label_missing
                               ? settings_.cpu_label + "/" + Info(pick->source).name
                               : std::string();
  if (!miss.empty() && miss != label_miss_) {
    calorix::LogPrint(calorix::Warn,
                      "sensor_cpu_label \"%s\" is no reading of %s; using its own choice",
                      settings_.cpu_label.c_str(), Info(pick->source).name);
  }
  label_miss_ = miss;
}

void ServerLoop::Step(std::int64_t now_ms) {
  if (now_ms >= next_settings_ms_) {
    ApplySettings();
    next_settings_ms_ = now_ms + kSettingsMs;
  }
  const std::optional<SourceId> before = switch_.current();
  const std::optional<Pick> pick = switch_.Tick(
      now_ms, settings_.cpu_label, [this](SourceId id) { return readers_.Read(id); },
      [this](SourceId id) { readers_.Release(id); });
  PublishBlock(block_, NextBlock(pick, &liveness_));
  LogChanges(pick, before);
}

void ServerLoop::Run() {
  std::int64_t next = static_cast<std::int64_t>(::GetTickCount64());
  for (;;) {
    Step(next);
    next += kPeriodMs;
    const auto now = static_cast<std::int64_t>(::GetTickCount64());
    // A step that overran (a slow monitor) moves the schedule instead of hurrying to catch up.
    if (next <= now) next = now + kPeriodMs;
    ::Sleep(static_cast<DWORD>(next - now));
  }
}

}  // namespace kalvaro
