// What the server writes into the shared temperature block, and the record that says where
// the value comes from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/temperature/temperature_block.h"
#include "server/core/sources.h"

namespace kalvaro {

// At offset 0 of the block's first reserved area, which the tray program never interprets.
// A block whose first bytes are not the tag was written by another server.
struct SourceTag {
  char magic[4];       // kSourceTagMagic
  std::uint8_t flags;  // kTagApproximate
  char source[27];     // the source's name; empty while no source has a fresh value
  char label[120];     // the CPU reading's label, UTF-8
};
static_assert(sizeof(SourceTag) == sizeof(calorix::TemperatureBlock::reserved0));

inline constexpr char kSourceTagMagic[4] = {'K', 'L', 'V', '1'};
inline constexpr std::uint8_t kTagApproximate = 1;

struct SourceTagText {
  std::string source, label;
  bool approximate = false;
};

// The record of a block, or nothing when it carries no tag.
std::optional<SourceTagText> ReadSourceTag(const calorix::TemperatureBlock& block);

// The block's next contents for `pick`, or for no source at all. `liveness` counts the
// seconds published (the tray program only needs it above 0) and goes back to 0 without one.
calorix::TemperatureBlock NextBlock(const std::optional<Pick>& pick, float* liveness);

// Copies `next` into the shared block. The tray program reads without a lock, so the texts
// are rewritten only when they change and the temperature is in place before liveness says it
// is published.
void PublishBlock(volatile calorix::TemperatureBlock& shared,
                  const calorix::TemperatureBlock& next);

}  // namespace kalvaro
