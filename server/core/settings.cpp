// Checking the server's stored settings.
#include "server/core/settings.h"

#include "server/core/text.h"

namespace kalvaro {

namespace {

// A value shown in a log line: printable ASCII, cut short, so that the line stays one line.
std::string Shown(const std::string& text) {
  std::string out;
  for (char c : CutUtf8(text, 40)) out += c >= 0x20 && c < 0x7F ? c : '?';
  return out + (text.size() > 40 ? "..." : "");
}

void Complain(std::vector<std::string>* complaints, const char* name, const StoredValue& v,
              const char* instead) {
  if (!complaints) return;
  const std::string what = v.kind == StoredValue::Kind::kOtherType
                               ? std::string("is not a string value")
                               : "\"" + Shown(v.text) + "\" is not valid";
  complaints->push_back(std::string("setting ") + name + " " + what + "; using " + instead);
}

std::optional<std::uint16_t> Port(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  const unsigned long port = std::stoul(std::string(text));
  if (port == 0 || port > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

bool GoodLabel(std::string_view text) {
  if (text.size() > kMaxLabelBytes) return false;
  for (unsigned char c : text) {
    if (c < 0x20) return false;
  }
  return true;
}

}  // namespace

ServerSettings ParseSettings(const StoredSettings& stored, std::vector<std::string>* complaints) {
  using Kind = StoredValue::Kind;
  ServerSettings s;
  const StoredValue& source = stored.source;
  if (source.kind == Kind::kString && !EqualsIgnoringCase(Trim(source.text), "auto") &&
      !Trim(source.text).empty()) {
    s.only = SourceNamed(source.text);
    if (!s.only) Complain(complaints, "sensor_source", source, "\"auto\"");
  } else if (source.kind == Kind::kOtherType) {
    Complain(complaints, "sensor_source", source, "\"auto\"");
  }
  const StoredValue& label = stored.cpu_label;
  if (label.kind == Kind::kString && GoodLabel(label.text)) {
    s.cpu_label = label.text;
  } else if (label.kind != Kind::kAbsent) {
    Complain(complaints, "sensor_cpu_label", label, "the server's own choice");
  }
  const StoredValue& port = stored.lhm_port;
  if (port.kind == Kind::kString && Port(port.text)) {
    s.lhm_port = *Port(port.text);
  } else if (port.kind == Kind::kOtherType || !Trim(port.text).empty()) {
    Complain(complaints, "sensor_lhm_port", port, "8085");
  }
  return s;
}

}  // namespace kalvaro
