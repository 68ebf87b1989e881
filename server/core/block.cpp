// Filling the shared block from a monitor's chosen readings.
#include "server/core/block.h"

#include <cstring>

#include "server/core/text.h"

namespace kalvaro {

namespace {

template <std::size_t N>
void CopyText(char (&field)[N], std::string_view text) {
  const std::string_view cut = CutUtf8(text, N - 1);
  std::memset(field, 0, N);
  std::memcpy(field, cut.data(), cut.size());
}

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  const void* nul = std::memchr(field, 0, N);
  return std::string(field, nul ? static_cast<const char*>(nul) - field : N);
}

// Bytes of the shared block, copied without the compiler merging or dropping stores.
void Store(volatile std::uint8_t* to, const void* from, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(from);
  for (std::size_t i = 0; i < size; ++i) to[i] = bytes[i];
}

bool Differs(const volatile std::uint8_t* shared, const void* next, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(next);
  for (std::size_t i = 0; i < size; ++i) {
    if (shared[i] != bytes[i]) return true;
  }
  return false;
}

}  // namespace

std::optional<SourceTagText> ReadSourceTag(const calorix::TemperatureBlock& block) {
  SourceTag tag;
  std::memcpy(&tag, block.reserved0, sizeof tag);
  if (std::memcmp(tag.magic, kSourceTagMagic, sizeof tag.magic) != 0) return std::nullopt;
  return SourceTagText{FieldText(tag.source), FieldText(tag.label),
                       (tag.flags & kTagApproximate) != 0};
}

calorix::TemperatureBlock NextBlock(const std::optional<Pick>& pick, float* liveness) {
  calorix::TemperatureBlock block{};
  SourceTag tag{};
  std::memcpy(tag.magic, kSourceTagMagic, sizeof tag.magic);
  if (pick) {
    const SourceInfo& info = Info(pick->source);
    const Reading& cpu = pick->sample.readings[*pick->choice.cpu];
    tag.flags = info.approximate ? kTagApproximate : 0;
    CopyText(tag.source, info.name);
    CopyText(tag.label, cpu.label);
    block.cpu_temperature = static_cast<float>(cpu.celsius);
    // Counts up to where a float still tells one from the next, then starts again at 1.
    *liveness = *liveness >= 16777216.0f ? 1.0f : *liveness + 1.0f;
    block.cpu_liveness = *liveness;
    char(*names[])[calorix::kGpuNameSize] = {&block.gpu1_name, &block.gpu2_name};
    float* temperatures[] = {&block.gpu1_temperature, &block.gpu2_temperature};
    for (std::size_t i = 0; i < pick->choice.gpus.size() && i < 2; ++i) {
      const Reading& gpu = pick->sample.readings[pick->choice.gpus[i]];
      CopyText(*names[i], gpu.adapter_name.empty() ? gpu.sensor : gpu.adapter_name);
      *temperatures[i] = static_cast<float>(gpu.celsius);
    }
  } else {
    *liveness = 0;
  }
  std::memcpy(block.reserved0, &tag, sizeof tag);
  return block;
}

void PublishBlock(volatile calorix::TemperatureBlock& shared,
                  const calorix::TemperatureBlock& next) {
  auto bytes = [](volatile auto& field) {
    return reinterpret_cast<volatile std::uint8_t*>(&field);
  };
  if (Differs(bytes(shared.reserved0), next.reserved0, sizeof next.reserved0)) {
    Store(bytes(shared.reserved0), next.reserved0, sizeof next.reserved0);
  }
  if (next.cpu_liveness <= 0) shared.cpu_liveness = 0.0f;  // unpublished before the value goes
  shared.cpu_temperature = next.cpu_temperature;
  for (auto [name, next_name, temperature, next_temperature] :
       {std::tuple{bytes(shared.gpu1_name), next.gpu1_name, &shared.gpu1_temperature,
                   next.gpu1_temperature},
        std::tuple{bytes(shared.gpu2_name), next.gpu2_name, &shared.gpu2_temperature,
                   next.gpu2_temperature}}) {
    if (Differs(name, next_name, calorix::kGpuNameSize)) {
      Store(name, next_name, calorix::kGpuNameSize);
    }
    *temperature = next_temperature;
  }
  shared.cpu_liveness = next.cpu_liveness;
}

}  // namespace kalvaro
