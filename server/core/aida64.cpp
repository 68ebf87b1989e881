// Scanning AIDA64's element text by hand: it has no root, no declaration and may hold blanks
// between tags.
#include "server/core/aida64.h"

namespace kalvaro {

namespace {

struct Item {
  std::string_view group, id, label, value;
};

// The text between <name> and </name> inside `element`, or nothing.
std::string_view Child(std::string_view element, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">";
  const std::string close = "</" + std::string(name) + ">";
  const auto start = element.find(open);
  if (start == std::string_view::npos) return {};
  const auto end = element.find(close, start + open.size());
  if (end == std::string_view::npos) return {};
  return element.substr(start + open.size(), end - start - open.size());
}

// XML's five named entities and numeric ones below 256; anything else stays as written.
std::string Unescape(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [entity, c] : kNamed) {
      if (text.substr(i, entity.size()) == entity) {
        out += c;
        i += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced && text.substr(i, 2) == "&#") {
      const auto semicolon = text.find(';', i);
      const std::string_view digits =
          semicolon == std::string_view::npos ? "" : text.substr(i + 2, semicolon - i - 2);
      if (!digits.empty() && digits.size() <= 3 &&
          digits.find_first_not_of("0123456789") == std::string_view::npos &&
          std::stoi(std::string(digits)) < 256) {
        out += static_cast<char>(std::stoi(std::string(digits)));
        i = semicolon;
        replaced = true;
      }
    }
    if (!replaced) out += text[i];
  }
  return out;
}

// The next <group>...</group> element from `pos`; false at the end or at text it cannot read.
bool NextItem(std::string_view text, std::size_t& pos, Item& item) {
  static constexpr std::string_view kGroups[] = {"sys",  "temp", "fan", "duty",
                                                 "volt", "curr", "pwr", "flow"};
  while ((pos = text.find('<', pos)) != std::string_view::npos) {
    const auto name_end = text.find('>', pos);
    if (name_end == std::string_view::npos) return false;
    const std::string_view name = text.substr(pos + 1, name_end - pos - 1);
    pos = name_end + 1;
    for (std::string_view group : kGroups) {
      if (name != group) continue;
      const std::string close = "</" + std::string(group) + ">";
      const auto end = text.find(close, pos);
      if (end == std::string_view::npos) return false;
      const std::string_view body = text.substr(pos, end - pos);
      item = {group, Trim(Child(body, "id")), Child(body, "label"), Trim(Child(body, "value"))};
      pos = end + close.size();
      return true;
    }
  }
  return false;
}

// "TGPU2DIO" -> adapter 2 with suffix "DIO"; false for other ids.
bool GpuId(std::string_view id, int& adapter, std::string_view& suffix) {
  if (!StartsWith(id, "TGPU")) return false;
  id.remove_prefix(4);
  const auto digits = id.find_first_not_of("0123456789");
  const std::string_view number = id.substr(0, digits);
  if (number.size() > 3) return false;
  adapter = number.empty() ? 1 : std::stoi(std::string(number));
  suffix = digits == std::string_view::npos ? "" : id.substr(digits);
  return suffix.empty() || suffix == "DIO" || suffix == "HOT" || suffix == "MEM";
}

void Classify(Reading& r, std::string_view id) {
  static constexpr std::string_view kPackage[] = {"TCPUPKG", "TCPUDIO", "TCPUIAC", "TCPU"};
  for (std::size_t rank = 0; rank < std::size(kPackage); ++rank) {
    if (id == kPackage[rank]) {
      r.role = Role::kCpuPackage;
      r.rank = static_cast<int>(rank);
      return;
    }
  }
  int adapter = 0;
  std::string_view suffix;
  if (StartsWith(id, "TCC-")) {
    r.role = Role::kCpuCore;
  } else if (GpuId(id, adapter, suffix)) {
    // No adapter name is published: the reading's label is the best name there is.
    r.role = Role::kGpu;
    r.rank = suffix == "DIO" ? 0 : suffix.empty() ? 1 : suffix == "HOT" ? 2 : 3;
    r.adapter = adapter;
    r.adapter_name = r.label;
  }
}

}  // namespace

Sample ParseAida64(std::string_view text, AnsiDecoder decode) {
  Sample sample;
  std::size_t pos = 0;
  Item item;
  while (NextItem(text, pos, item)) {
    if (item.group == "sys" && item.id == "STIME") sample.stamp = TextStamp(item.value);
    if (item.group != "temp") continue;
    // Always Celsius, whatever the program shows; the trial edition writes "TRIAL" instead
    // of some values.
    const std::optional<double> value = ParseDecimal(item.value);
    if (!value) continue;
    Reading r;
    r.sensor = std::string(item.id);
    r.label = decode(Unescape(item.label));
    r.celsius = *value;
    Classify(r, item.id);
    sample.readings.push_back(std::move(r));
  }
  return sample;
}

}  // namespace kalvaro
