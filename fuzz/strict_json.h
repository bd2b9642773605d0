// A reader of what the program prints, sharing no code with its writer, for the fuzzers and the
// whole-process tests: one line ending in a line feed that holds an object, or an array of
// objects, whose members are strings and booleans. Stricter than RFC 8259 where the program's
// output must be: no white space outside strings, no raw "/", no escapes but \" \\ \/ \b \f \n \r
// \t and \u00XX for the other control characters, well-formed UTF-8 only.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::strict_json {

struct Value {
  enum class Kind { kBool, kString, kArray, kObject } kind = Kind::kString;
  bool boolean = false;
  std::string text;               // a string's decoded UTF-8
  std::vector<Value> items;       // an array's values, or an object's member values ...
  std::vector<std::string> keys;  // ... whose keys these are, in the order written

  const Value* member(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) return &items[i];
    return nullptr;
  }
};

// Length of the well-formed UTF-8 sequence at `s[i]` (Unicode Table 3-7), or 0 when there is none.
inline std::size_t wellFormedLength(std::string_view s, std::size_t i) {
  auto b = [&](std::size_t k) {
    return k < s.size() ? unsigned{static_cast<uint8_t>(s[k])} : 256u;
  };
  const unsigned c = b(i);
  if (c < 0x80) return 1;
  const std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                        : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4
                                                 : 0;
  const unsigned lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  const unsigned hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  if (n == 0 || b(i + 1) < lo || b(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < n; ++k)
    if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
  return n;
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  std::optional<Value> line() {
    if (s_.empty() || s_.back() != '\n') return std::nullopt;
    s_.remove_suffix(1);
    for (std::size_t i = 0, n = 0; i < s_.size(); i += n)
      if ((n = wellFormedLength(s_, i)) == 0) return std::nullopt;
    std::optional<Value> v = value(0);
    if (!v || i_ != s_.size() || v->kind == Value::Kind::kString || v->kind == Value::Kind::kBool)
      return std::nullopt;
    return v;
  }

 private:
  bool word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  // Depth 0: the object or the array; 1: an array's objects or an object's members; 2: members.
  std::optional<Value> value(int depth) {
    Value v;
    if (depth > 2 || i_ >= s_.size()) return std::nullopt;
    const char c = s_[i_];
    if (c == '[' || c == '{') {
      ++i_;
      v.kind = c == '[' ? Value::Kind::kArray : Value::Kind::kObject;
      const std::string_view close = c == '[' ? "]" : "}";
      if (word(close)) return v;
      do {
        std::string key;
        if (c == '{' && (!string(key) || !word(":"))) return std::nullopt;
        std::optional<Value> item = value(depth + 1);
        if (!item || (c == '[' && item->kind != Value::Kind::kObject)) return std::nullopt;
        if (c == '{') v.keys.push_back(std::move(key));
        v.items.push_back(std::move(*item));
      } while (word(","));
      return word(close) ? std::optional(std::move(v)) : std::nullopt;
    }
    v.kind = Value::Kind::kBool;
    v.boolean = word("true");
    if (v.boolean || word("false")) return v;
    v.kind = Value::Kind::kString;
    return string(v.text) ? std::optional(std::move(v)) : std::nullopt;
  }

  bool string(std::string& out) {
    if (!word("\"")) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20 || c == '/') return false;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      const std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
      const std::size_t e = i_ < s_.size() ? from.find(s_[i_]) : std::string_view::npos;
      if (e != std::string_view::npos) {
        out.push_back(to[e]);
        ++i_;
        continue;
      }
      // \u00XX, only for a control character that has no escape of its own.
      if (!word("u00") || i_ + 2 > s_.size()) return false;
      const std::string digits(s_.substr(i_, 2));
      const unsigned long code = std::strtoul(digits.c_str(), nullptr, 16);
      if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || code >= 0x20 ||
          std::string_view("\b\f\n\r\t").find(static_cast<char>(code)) != std::string_view::npos)
        return false;
      out.push_back(static_cast<char>(code));
      i_ += 2;
    }
    return false;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// The value of `text` when it is one line of the program's JSON.
inline std::optional<Value> parseLine(std::string_view text) { return Reader(text).line(); }

}  // namespace velkor::strict_json
