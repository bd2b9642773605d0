// A small strict JSON reader (RFC 8259) that shares no code with the program's writer, so that the
// fuzzers and the whole-process tests can check what the program prints. It refuses what a lenient
// reader lets through: bytes that are not UTF-8, raw control characters in strings, lone surrogate
// escapes, leading zeros, trailing commas, anything after the value, and nesting deeper than 64.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::strict_json {

struct Value {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::string text;               // a string's decoded UTF-8, or a number as written
  std::vector<Value> items;       // an array's values, or an object's member values ...
  std::vector<std::string> keys;  // ... whose keys these are, in the order written

  // The member named `key`, or nothing (also for values that are not objects).
  const Value* member(std::string_view key) const {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i] == key) return &items[i];
    }
    return nullptr;
  }
};

// Length of the well-formed UTF-8 sequence at `s[i]` (Unicode Table 3-7), or 0 when there is none.
inline std::size_t wellFormedLength(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) -> unsigned {
    return k < s.size() ? static_cast<unsigned char>(s[k]) : 0x100;
  };
  const unsigned b0 = byte(i);
  if (b0 < 0x80) return 1;
  unsigned lo = 0x80, hi = 0xBF;
  std::size_t n = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
}

inline bool isValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = wellFormedLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

inline void appendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  std::optional<Value> document() {
    if (!isValidUtf8(s_)) return std::nullopt;
    skipSpace();
    std::optional<Value> v = value(0);
    if (!v) return std::nullopt;
    skipSpace();
    if (i_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }
  void skipSpace() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  std::optional<Value> value(int depth) {
    if (depth > kMaxDepth || i_ >= s_.size()) return std::nullopt;
    Value v;
    switch (s_[i_]) {
      case 'n':
        if (!literal("null")) return std::nullopt;
        return v;
      case 't':
      case 'f':
        v.kind = Value::Kind::kBool;
        v.boolean = s_[i_] == 't';
        if (!literal(v.boolean ? "true" : "false")) return std::nullopt;
        return v;
      case '"':
        v.kind = Value::Kind::kString;
        if (!string(v.text)) return std::nullopt;
        return v;
      case '[':
        return array(depth);
      case '{':
        return object(depth);
      default:
        v.kind = Value::Kind::kNumber;
        if (!number(v.text)) return std::nullopt;
        return v;
    }
  }

  std::optional<Value> array(int depth) {
    Value v;
    v.kind = Value::Kind::kArray;
    ++i_;
    skipSpace();
    if (at(']')) {
      ++i_;
      return v;
    }
    while (true) {
      skipSpace();
      std::optional<Value> item = value(depth + 1);
      if (!item) return std::nullopt;
      v.items.push_back(std::move(*item));
      skipSpace();
      if (at(']')) {
        ++i_;
        return v;
      }
      if (!at(',')) return std::nullopt;
      ++i_;
    }
  }

  std::optional<Value> object(int depth) {
    Value v;
    v.kind = Value::Kind::kObject;
    ++i_;
    skipSpace();
    if (at('}')) {
      ++i_;
      return v;
    }
    while (true) {
      skipSpace();
      std::string key;
      if (!at('"') || !string(key)) return std::nullopt;
      skipSpace();
      if (!at(':')) return std::nullopt;
      ++i_;
      skipSpace();
      std::optional<Value> member = value(depth + 1);
      if (!member) return std::nullopt;
      v.keys.push_back(std::move(key));
      v.items.push_back(std::move(*member));
      skipSpace();
      if (at('}')) {
        ++i_;
        return v;
      }
      if (!at(',')) return std::nullopt;
      ++i_;
    }
  }

  bool hex4(std::uint32_t& out) {
    if (s_.size() - i_ < 4) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        out |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        out |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool string(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        ++i_;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        ++i_;
        continue;
      }
      if (++i_ >= s_.size()) return false;
      const char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xDC00 && cp <= 0xDFFF) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (s_.substr(i_, 2) != "\\u") return false;
            i_ += 2;
            if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  bool digits() {
    const std::size_t begin = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > begin;
  }

  bool number(std::string& out) {
    const std::size_t begin = i_;
    if (at('-')) ++i_;
    if (at('0')) {
      ++i_;
    } else if (!digits()) {
      return false;
    }
    if (at('.')) {
      ++i_;
      if (!digits()) return false;
    }
    if (at('e') || at('E')) {
      ++i_;
      if (at('+') || at('-')) ++i_;
      if (!digits()) return false;
    }
    out.assign(s_.substr(begin, i_ - begin));
    return true;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// The value of `text` when it is exactly one JSON value (surrounding white space allowed).
inline std::optional<Value> parse(std::string_view text) { return Reader(text).document(); }

}  // namespace velkor::strict_json
