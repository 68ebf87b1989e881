// The monitors the server reads, in the order it tries them, and the rule that picks one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/core/choice.h"
#include "server/core/reading.h"

namespace kalvaro {

enum class SourceId : int {
  kHwinfo,          // shared memory
  kLhm,             // LibreHardwareMonitor's web server, or WMI of older releases and of OHM
  kAida64,          // shared memory
  kCoreTemp,        // shared memory
  kArgus,           // shared memory
  kHwinfoRegistry,  // the Gadget values: still there when the free version's shared memory
                    // has switched itself off after 12 hours
  kAcpi,            // the firmware's thermal zones: a last resort, and only approximate
};
inline constexpr int kSourceCount = 7;

struct SourceInfo {
  const char* key;   // the value of "sensor_source" that chooses it
  const char* name;  // as shown to the user
  bool approximate;  // its value is not the CPU's own
};

const SourceInfo& Info(SourceId id);
// The source a "sensor_source" value names: its key or its name, in any case.
std::optional<SourceId> SourceNamed(std::string_view text);

// A source's readings in use, and which of them the block gets.
struct Pick {
  SourceId source;
  Sample sample;
  Choice choice;
};

// Which source is in use. Once a second the current source is read; the sources before it
// (all of them while none is in use) are looked at no more often than every kProbeMs, so a
// monitor started later, or a better one that comes back, is taken within that time. A source
// is left when it is gone, says its data is not current, or its stamp stops changing for its
// sample's stale_after_ms; the ones after it are then tried at once.
class SourceSwitch {
 public:
  static constexpr std::int64_t kProbeMs = 5000;

  using ReadFn = std::function<std::optional<Sample>(SourceId)>;
  using ReleaseFn = std::function<void(SourceId)>;

  // Only `only` from now on, or every source in order when it is empty.
  void Restrict(std::optional<SourceId> only, const ReleaseFn& release);

  // One second's look at time `now_ms` (any monotonic clock). `read` looks at a source;
  // `release` lets go of what a source keeps open. The pick, or nothing while no source has a
  // fresh CPU reading.
  std::optional<Pick> Tick(std::int64_t now_ms, std::string_view cpu_label, const ReadFn& read,
                           const ReleaseFn& release);

  std::optional<SourceId> current() const { return current_; }
  // Why the last source in use was left: "gone", "not current" or "stopped updating".
  const char* left_because() const { return left_because_; }

  // A sample's freshness as a first look sees it: live, and a stamp that is not already older
  // than its limit by the wall clock.
  static bool FreshAtFirstSight(const Sample& sample);

 private:
  struct StampState {
    std::optional<std::uint64_t> stamp;
    std::int64_t changed_ms = 0;
    std::optional<std::uint64_t> frozen;  // the stamp it had when it was found stale
  };

  const char* Judge(SourceId id, std::int64_t now_ms, const std::optional<Sample>& sample);

  std::optional<SourceId> only_;
  std::optional<SourceId> current_;
  const char* left_because_ = "";
  std::array<std::int64_t, kSourceCount> next_probe_ms_{};
  std::array<StampState, kSourceCount> stamps_{};
};

}  // namespace kalvaro
