#include "thunderbird/prefs.h"

#include <algorithm>
#include <set>

#include "base/utf8.h"
#include "store/color_text.h"

namespace velkor {
namespace {

constexpr std::string_view kRegistry = "calendar.registry.";

// A cursor over one line of prefs.js.
struct Cursor {
  std::string_view s;

  void blanks() {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
      s.remove_prefix(1);
    }
  }
  bool take(std::string_view word) {
    blanks();
    if (s.substr(0, word.size()) != word) return false;
    s.remove_prefix(word.size());
    return true;
  }
  std::optional<unsigned> hex(std::size_t digits) {
    if (s.size() < digits) return std::nullopt;
    unsigned v = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const char c = s[i];
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return std::nullopt;
      v = v * 16 + static_cast<unsigned>(d);
    }
    s.remove_prefix(digits);
    return v;
  }
  std::optional<std::string> string();
  std::optional<PrefValue> value();
};

std::optional<std::string> Cursor::string() {
  blanks();
  if (s.empty() || (s.front() != '"' && s.front() != '\'')) return std::nullopt;
  const char quote = s.front();
  s.remove_prefix(1);
  std::string out;
  while (!s.empty()) {
    const char c = s.front();
    s.remove_prefix(1);
    if (c == quote) return out;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (s.empty()) return std::nullopt;
    const char e = s.front();
    s.remove_prefix(1);
    switch (e) {
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'x': {
        const auto v = hex(2);
        if (!v) return std::nullopt;
        appendUtf8(out, *v);
        break;
      }
      case 'u': {
        auto v = hex(4);
        if (!v) return std::nullopt;
        // A high surrogate joins the low one that follows it.
        if (*v >= 0xD800 && *v < 0xDC00 && s.substr(0, 2) == "\\u") {
          Cursor rest{s.substr(2)};
          if (auto low = rest.hex(4); low && *low >= 0xDC00 && *low <= 0xDFFF) {
            v = 0x10000 + ((*v - 0xD800) << 10) + (*low - 0xDC00);
            s = rest.s;
          }
        }
        appendUtf8(out, *v);
        break;
      }
      default:
        out.push_back(e);  // \" \' \\ and any other character stand for themselves
    }
  }
  return std::nullopt;
}

std::optional<PrefValue> Cursor::value() {
  blanks();
  if (take("true")) return PrefValue(true);
  if (take("false")) return PrefValue(false);
  if (auto text = string()) return PrefValue(std::move(*text));
  std::size_t n = !s.empty() && (s.front() == '-' || s.front() == '+') ? 1 : 0;
  const std::size_t digits = n;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9' && n - digits < 18) ++n;
  if (n == digits || (n < s.size() && s[n] >= '0' && s[n] <= '9')) return std::nullopt;
  const std::int64_t v = std::stoll(std::string(s.substr(0, n)));
  s.remove_prefix(n);
  return PrefValue(v);
}

// Adds the pref of one line to `out` when the line is one.
void addPrefLine(std::string_view line, Prefs& out) {
  Cursor c{line};
  if (!c.take("user_pref") || !c.take("(")) return;
  std::optional<std::string> name = c.string();
  if (!name || !c.take(",")) return;
  std::optional<PrefValue> value = c.value();
  if (!value || !c.take(")") || !c.take(";")) return;
  c.blanks();
  if (!c.s.empty() && c.s.substr(0, 2) != "//") return;
  out.insert_or_assign(std::move(*name), std::move(*value));
}

const std::string* textOf(const Prefs& prefs, const std::string& key) {
  auto it = prefs.find(key);
  return it == prefs.end() || it->second.type != PrefValue::Type::kString ? nullptr
                                                                          : &it->second.text;
}

bool flagOf(const Prefs& prefs, const std::string& key) {
  auto it = prefs.find(key);
  return it != prefs.end() && it->second.type == PrefValue::Type::kBoolean && it->second.boolean;
}

}  // namespace

Prefs parsePrefs(std::string_view text) {
  Prefs out;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    addPrefLine(text.substr(0, eol), out);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
  }
  return out;
}

Database RegisteredCalendar::database() const {
  if (type == "storage") return Database::kLocal;
  return cached ? Database::kCache : Database::kNone;
}

AccountKind RegisteredCalendar::kind() const {
  if (type == "storage") return AccountKind::kLocal;
  if (type == "caldav") return calDavKind(uriHost(uri));
  if (type == "ics") return AccountKind::kSubscribed;
  return AccountKind::kOther;
}

std::string uriHost(std::string_view uri) {
  const std::size_t scheme = uri.find("://");
  if (scheme == std::string_view::npos) return {};
  std::string_view rest = uri.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    rest.remove_prefix(at + 1);
  }
  if (!rest.empty() && rest.front() == '[') {
    rest = rest.substr(0, rest.find(']') + 1);
  } else {
    rest = rest.substr(0, rest.find(':'));
  }
  std::string host(rest);
  std::transform(host.begin(), host.end(), host.begin(),
                 [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; });
  return host;
}

std::vector<RegisteredCalendar> registeredCalendars(const Prefs& prefs) {
  std::set<std::string> uuids;
  for (auto it = prefs.lower_bound(kRegistry);
       it != prefs.end() && it->first.compare(0, kRegistry.size(), kRegistry) == 0; ++it) {
    const std::string_view rest = std::string_view(it->first).substr(kRegistry.size());
    const std::size_t dot = rest.find('.');
    if (dot != std::string_view::npos && dot > 0) uuids.emplace(rest.substr(0, dot));
  }
  std::vector<std::string> order;
  if (const std::string* sort = textOf(prefs, "calendar.list.sortOrder")) {
    std::string_view s = *sort;
    while (!s.empty()) {
      const std::size_t space = s.find(' ');
      const std::string uuid(s.substr(0, space));
      if (uuids.erase(uuid) > 0) order.push_back(uuid);
      s = space == std::string_view::npos ? std::string_view() : s.substr(space + 1);
    }
  }
  order.insert(order.end(), uuids.begin(), uuids.end());

  std::vector<RegisteredCalendar> out;
  for (const std::string& uuid : order) {
    const std::string key = std::string(kRegistry) + uuid + ".";
    RegisteredCalendar c;
    c.uuid = uuid;
    if (const std::string* v = textOf(prefs, key + "name")) c.name = *v;
    if (const std::string* v = textOf(prefs, key + "type")) c.type = *v;
    if (const std::string* v = textOf(prefs, key + "uri")) c.uri = *v;
    if (const std::string* v = textOf(prefs, key + "color")) c.color = *v;
    c.disabled = flagOf(prefs, key + "disabled");
    c.cached = flagOf(prefs, key + "cache.enabled");
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace velkor
