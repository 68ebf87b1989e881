// Recursive descent over the document, with a depth limit so that hostile nesting cannot
// exhaust the stack.
#include "server/core/json.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "server/core/text.h"

namespace kalvaro {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    if (!Value(value, 0)) return std::nullopt;
    SkipBlanks();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool Take(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth >= kJsonMaxDepth) return false;
    SkipBlanks();
    if (pos_ >= text_.size()) return false;
    switch (text_[pos_]) {
      case '{':
        return Object(v, depth);
      case '[':
        return Array(v, depth);
      case '"':
        v.kind = JsonValue::Kind::kString;
        return String(v.text);
      case 't':
      case 'f':
        v.kind = JsonValue::Kind::kBool;
        v.boolean = text_[pos_] == 't';
        return Word(v.boolean ? "true" : "false");
      case 'n':
        v.kind = JsonValue::Kind::kNull;
        return Word("null");
      default:
        v.kind = JsonValue::Kind::kNumber;
        return Number(v.number);
    }
  }

  bool Object(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kObject;
    ++pos_;
    if (Take('}')) return true;
    do {
      JsonMember member;
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"' || !String(member.name)) return false;
      if (!Take(':') || !Value(member.value, depth + 1)) return false;
      v.members.push_back(std::move(member));
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue& v, int depth) {
    v.kind = JsonValue::Kind::kArray;
    ++pos_;
    if (Take(']')) return true;
    do {
      v.items.emplace_back();
      if (!Value(v.items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Number(double& out) {
    // .NET writes non-finite doubles as bare words.
    for (auto [word, value] : {std::pair<std::string_view, double>{"NaN", NAN},
                               {"Infinity", INFINITY},
                               {"-Infinity", -INFINITY}}) {
      if (Word(word)) {
        out = value;
        return true;
      }
    }
    const char* begin = text_.data() + pos_;
    const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), out);
    if (error != std::errc() && error != std::errc::result_out_of_range) return false;
    if (end == begin) return false;
    pos_ += end - begin;
    return true;
  }

  bool Hex4(std::uint32_t& out) {
    if (pos_ + 4 > text_.size()) return false;
    const char* begin = text_.data() + pos_;
    const auto [end, error] = std::from_chars(begin, begin + 4, out, 16);
    pos_ += 4;
    return error == std::errc() && end == begin + 4;
  }

  bool Escape(std::string& out) {
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_++];
    static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
    if (const auto i = kFrom.find(c); i != std::string_view::npos) {
      out += kTo[i];
      return true;
    }
    std::uint32_t unit = 0, low = 0;
    if (c != 'u' || !Hex4(unit)) return false;
    const std::size_t after = pos_;
    if (unit >= 0xD800 && unit < 0xDC00 && Word("\\u") && Hex4(low) && low >= 0xDC00 &&
        low < 0xE000) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else if (unit >= 0xD800 && unit < 0xE000) {
      pos_ = after;  // a lone surrogate; what follows is read on its own
      unit = 0xFFFD;
    }
    AppendUtf8(out, unit);
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (c == '\\') {
        if (!Escape(out)) return false;
      } else {
        out += c;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const JsonMember& member : members) {
    if (member.name == key) return &member.value;
  }
  return nullptr;
}

std::string_view JsonValue::Text(std::string_view key) const {
  const JsonValue* v = Find(key);
  return v && v->kind == Kind::kString ? std::string_view(v->text) : std::string_view();
}

std::optional<JsonValue> ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace kalvaro
