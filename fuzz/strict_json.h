// A small strict JSON reader (RFC 8259) that shares no code with the program's writer, for the
// fuzzers and the whole-process tests to judge what the program prints. It refuses what a lenient
// reader lets through: bytes that are not UTF-8, raw control characters in strings, lone
// surrogate escapes, leading zeros, trailing commas, anything after the value, nesting beyond 64.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::strict_json {

struct Value {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  std::string text;               // a string's decoded UTF-8, or a number as written
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

  std::optional<Value> document() {
    for (std::size_t i = 0, n = 0; i < s_.size(); i += n)
      if ((n = wellFormedLength(s_, i)) == 0) return std::nullopt;
    std::optional<Value> v = value(0);
    space();
    return i_ == s_.size() ? v : std::nullopt;
  }

 private:
  using Kind = Value::Kind;

  void space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }
  bool eat(char c) {
    space();
    return word(std::string_view(&c, 1));
  }
  bool digits() {
    const std::size_t begin = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > begin;
  }

  std::optional<Value> value(int depth) {
    space();
    Value v;
    if (depth > 64 || i_ >= s_.size()) return std::nullopt;
    const char c = s_[i_];
    if (c == '[' || c == '{') {
      ++i_;
      v.kind = c == '[' ? Kind::kArray : Kind::kObject;
      const char close = c == '[' ? ']' : '}';
      if (eat(close)) return v;
      do {
        std::string key;
        if (c == '{' && (space(), !string(key) || !eat(':'))) return std::nullopt;
        std::optional<Value> item = value(depth + 1);
        if (!item) return std::nullopt;
        if (c == '{') v.keys.push_back(std::move(key));
        v.items.push_back(std::move(*item));
      } while (eat(','));
      return eat(close) ? std::optional(std::move(v)) : std::nullopt;
    }
    v.kind = c == '"' ? Kind::kString : c == 't' || c == 'f' ? Kind::kBool : Kind::kNumber;
    v.boolean = c == 't';
    if (word("null")) v.kind = Kind::kNull;
    const std::size_t begin = i_;
    const bool ok = v.kind == Kind::kNull     ? true
                    : v.kind == Kind::kString ? string(v.text)
                    : v.kind == Kind::kBool   ? word("true") || word("false")
                                              : number();
    if (v.kind == Kind::kNumber) v.text = s_.substr(begin, i_ - begin);
    return ok ? std::optional(std::move(v)) : std::nullopt;
  }

  bool number() {
    word("-");
    if (!word("0") && !digits()) return false;
    if (word(".") && !digits()) return false;
    if (!word("e") && !word("E")) return true;
    if (!word("+")) word("-");
    return digits();
  }

  bool hex4(std::uint32_t& cp) {
    for (int k = 0; k < 4; ++k, ++i_) {
      const char c = i_ < s_.size() ? s_[i_] : 'x';
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return false;
      cp = cp * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  }

  bool string(std::string& out) {
    if (!word("\"")) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
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
      std::uint32_t cp = 0, low = 0;
      if (!word("u") || !hex4(cp) || (cp >= 0xDC00 && cp <= 0xDFFF)) return false;
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (!word("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      }
      const int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
      out.push_back(
          static_cast<char>(n == 1 ? cp : ((0xFF00u >> n) & 0xFF) | (cp >> (6 * (n - 1)))));
      for (int k = n - 2; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F)));
    }
    return false;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// The value of `text` when it is exactly one JSON value (surrounding white space allowed).
inline std::optional<Value> parse(std::string_view text) { return Reader(text).document(); }

}  // namespace velkor::strict_json
