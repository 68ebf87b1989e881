// CalorixDiag --sensors: every hardware monitor the server could read, with all its
// temperatures, what the server would take from each, and what it uses now.
#include <windows.h>

#include "server/core/block.h"
#include "server/core/choice.h"
#include "server/win/monitor_readers.h"
#include "server/win/stored_settings.h"
#include "tools/calorix_diag/diag_report.h"

namespace calorix::diag {

namespace {

// The server's record in the block, when a server of ours is publishing.
std::optional<kalvaro::SourceTagText> ServerTag() {
  BlockView view;
  if (!view.block() || view.created_new()) return std::nullopt;
  return kalvaro::ReadSourceTag(*view.block());
}

// "CPU", "GPU 1", "GPU 2" for the readings the server takes from this monitor.
std::string Use(const kalvaro::Choice& choice, std::size_t i) {
  if (choice.cpu == i) return "CPU";
  for (std::size_t g = 0; g < choice.gpus.size(); ++g) {
    if (choice.gpus[g] == i) return "GPU " + std::to_string(g + 1);
  }
  return {};
}

void PrintSource(const kalvaro::SourceInfo& info, const kalvaro::Sample& sample,
                 const kalvaro::Choice& choice, const std::optional<kalvaro::SourceTagText>& tag,
                 const Streams& io) {
  const bool in_use = tag && tag->source == info.name;
  std::fprintf(io.out, "%s%s%s%s\n", info.name, info.approximate ? " (approximate)" : "",
               kalvaro::SourceSwitch::FreshAtFirstSight(sample) ? "" : " (not updating)",
               in_use ? ", in use" : "");
  if (sample.readings.empty()) std::fprintf(io.out, "  no temperature readings\n");
  for (std::size_t i = 0; i < sample.readings.size(); ++i) {
    const kalvaro::Reading& r = sample.readings[i];
    std::string use = Use(choice, i);
    if (in_use && use == "CPU" && r.label == tag->label) use += ", in use";
    std::fprintf(io.out, "  %s | %s | %.1f C%s%s\n", r.sensor.c_str(), r.label.c_str(), r.celsius,
                 use.empty() ? "" : " | ", use.c_str());
  }
}

}  // namespace

int Sensors(const Streams& io) {
  const kalvaro::ServerSettings settings =
      kalvaro::ParseSettings(kalvaro::ReadStoredSettings(), nullptr);
  kalvaro::MonitorReaders readers;
  readers.SetLhmPort(settings.lhm_port);
  const std::optional<kalvaro::SourceTagText> tag = ServerTag();
  std::string missing;
  int found = 0;
  for (int i = 0; i < kalvaro::kSourceCount; ++i) {
    const auto id = static_cast<kalvaro::SourceId>(i);
    const std::optional<kalvaro::Sample> sample = readers.Read(id);
    readers.Release(id);
    if (!sample) {
      missing += std::string(missing.empty() ? "" : ", ") + kalvaro::Info(id).name;
      continue;
    }
    ++found;
    PrintSource(kalvaro::Info(id), *sample, kalvaro::Choose(sample->readings, settings.cpu_label),
                tag, io);
  }
  if (!missing.empty()) std::fprintf(io.out, "Not found: %s\n", missing.c_str());
  std::fprintf(io.out, "In use by the server: %s\n",
               tag ? SourceText(*tag).c_str() : "unknown (no Kalvaro.exe publishes)");
  if (found == 0) {
    std::fprintf(io.err,
                 "No hardware monitor found. Run one and switch on what it publishes (see the "
                 "README).\n");
    return 1;
  }
  return 0;
}

}  // namespace calorix::diag
