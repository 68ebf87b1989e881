// Source names and the switch between sources.
#include "server/core/sources.h"

#include <algorithm>

#include "server/core/text.h"

namespace kalvaro {

namespace {

constexpr SourceInfo kSources[kSourceCount] = {
    {"hwinfo", "HWiNFO", false},         {"lhm", "LibreHardwareMonitor", false},
    {"aida64", "AIDA64", false},         {"coretemp", "Core Temp", false},
    {"argus", "Argus Monitor", false},   {"hwinfo-registry", "HWiNFO Gadget", false},
    {"acpi", "ACPI thermal zone", true},
};

constexpr const char* kFresh = nullptr;

}  // namespace

const SourceInfo& Info(SourceId id) { return kSources[static_cast<int>(id)]; }

std::optional<SourceId> SourceNamed(std::string_view text) {
  text = Trim(text);
  for (int i = 0; i < kSourceCount; ++i) {
    if (EqualsIgnoringCase(text, kSources[i].key) || EqualsIgnoringCase(text, kSources[i].name)) {
      return static_cast<SourceId>(i);
    }
  }
  return std::nullopt;
}

bool SourceSwitch::FreshAtFirstSight(const Sample& sample) {
  return sample.live && sample.stamp_age_ms.value_or(0) < sample.stale_after_ms;
}

void SourceSwitch::Restrict(std::optional<SourceId> only, const ReleaseFn& release) {
  if (only == only_) return;
  only_ = only;
  if (current_ && only_ && current_ != only_) {
    release(*current_);
    current_.reset();
  }
  next_probe_ms_.fill(0);  // the newly allowed source is looked at with the next tick
}

// Null when the sample is fresh, else why it is not.
const char* SourceSwitch::Judge(SourceId id, std::int64_t now_ms,
                                const std::optional<Sample>& sample) {
  StampState& s = stamps_[static_cast<int>(id)];
  if (!sample) {
    s.stamp.reset();  // gone: a monitor that comes back starts a new count
    return "gone";
  }
  if (!sample->live) return "not current";
  if (!sample->stamp) return kFresh;
  if (s.stamp != sample->stamp) {
    // A first look counts the age the stamp already had by the wall clock.
    const std::int64_t age = s.stamp ? 0 : sample->stamp_age_ms.value_or(0);
    s.stamp = sample->stamp;
    s.changed_ms = now_ms - age;
  }
  // A stamp found frozen stays stale until it moves, so that a section another reader keeps
  // alive does not look fresh again at every look.
  if (s.frozen == sample->stamp) return "stopped updating";
  if (now_ms - s.changed_ms >= sample->stale_after_ms) {
    s.frozen = sample->stamp;
    return "stopped updating";
  }
  return kFresh;
}

std::optional<Pick> SourceSwitch::Tick(std::int64_t now_ms, std::string_view cpu_label,
                                       const ReadFn& read, const ReleaseFn& release) {
  for (int i = 0; i < kSourceCount; ++i) {
    const auto id = static_cast<SourceId>(i);
    if (only_ && id != *only_) continue;
    const bool is_current = current_ == id;
    if (!is_current && now_ms < next_probe_ms_[i]) continue;
    if (!is_current) next_probe_ms_[i] = now_ms + kProbeMs;
    std::optional<Sample> sample = read(id);
    const char* stale = Judge(id, now_ms, sample);
    if (stale == kFresh) {
      Choice choice = Choose(sample->readings, cpu_label);
      if (choice.cpu) {
        if (!is_current && current_) release(*current_);
        current_ = id;
        return Pick{id, std::move(*sample), std::move(choice)};
      }
      stale = "without a CPU reading";
    }
    release(id);
    if (is_current) {
      current_.reset();
      left_because_ = stale;
      next_probe_ms_[i] = now_ms + kProbeMs;
    }
  }
  return std::nullopt;
}

}  // namespace kalvaro
