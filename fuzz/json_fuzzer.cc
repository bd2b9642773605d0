// The JSON writer against an independent strict reader: every record list built from arbitrary
// bytes must come out as one compact line of valid UTF-8 JSON, with no raw control character and
// no unescaped "/", that reads back to the same records with each ill-formed UTF-8 subpart
// replaced by one U+FFFD.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "output/json.h"
#include "output/records.h"
#include "strict_json.h"

namespace {

namespace sj = velkor::strict_json;

[[noreturn]] void fail(const char* what, const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", what, line.c_str());
  std::abort();
}

// `text` with each maximal ill-formed subpart (Unicode 3.9, "U+FFFD substitution of maximal
// subparts") replaced by U+FFFD, written apart from the program's own repair.
std::string repaired(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t n = sj::wellFormedLength(text, i);
    if (n > 0) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    }
    // The longest prefix of a well-formed sequence starting here, at least one byte.
    std::size_t bad = 1;
    const unsigned b0 = static_cast<unsigned char>(text[i]);
    unsigned lo = 0x80, hi = 0xBF;
    std::size_t want = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) want = 2;
    if (b0 >= 0xE0 && b0 <= 0xEF) want = 3;
    if (b0 >= 0xF0 && b0 <= 0xF4) want = 4;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
    while (want > 0 && bad < want && i + bad < text.size()) {
      const unsigned b = static_cast<unsigned char>(text[i + bad]);
      const bool fits = bad == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xBF);
      if (!fits) break;
      ++bad;
    }
    out.append("\xEF\xBF\xBD");
    i += bad;
  }
  return out;
}

void expectString(const sj::Value* v, const std::string& original, const std::string& line) {
  if (v == nullptr || v->kind != sj::Value::Kind::kString) fail("missing string member", line);
  if (v->text != repaired(original)) fail("text does not read back", line);
}

void expectKeys(const sj::Value& object, std::vector<std::string> keys, const std::string& line) {
  if (object.kind != sj::Value::Kind::kObject || object.keys != keys) {
    fail("wrong members or out of key order", line);
  }
}

// One emitted line: the checks every output of the program must pass; gives the value.
sj::Value checkLine(const std::string& line) {
  if (line.empty() || line.back() != '\n') fail("not a line", line);
  const std::string body = line.substr(0, line.size() - 1);
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(body[i]);
    if (c < 0x20) fail("raw control character", line);
    if (c == '/') fail("unescaped slash", line);
    if (c == '"') inString = !inString;
    if (c == '\\') ++i;  // the escaped character never opens or closes a string
    if (!inString && c == ' ') fail("not compact", line);
  }
  std::optional<sj::Value> v = sj::parse(body);
  if (!v) fail("not valid JSON", line);
  return *v;
}

template <typename Value>
sj::Value emitted(const Value& value) {
  std::ostringstream out;
  velkor::emit(out, value);
  return checkLine(out.str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);

  const velkor::Status status(in.ConsumeRandomLengthString(64));
  const sj::Value s = emitted(status);
  expectKeys(s, {"access"}, "status");
  expectString(s.member("access"), status.access(), "status");

  std::vector<velkor::CalendarOut> calendars;
  const std::size_t calendarCount = in.ConsumeIntegralInRange<std::size_t>(0, 4);
  for (std::size_t i = 0; i < calendarCount; ++i) {
    std::string id = in.ConsumeRandomLengthString(32);
    std::string title = in.ConsumeRandomLengthString(32);
    std::string account = in.ConsumeRandomLengthString(16);
    std::string kind = in.ConsumeRandomLengthString(8);
    std::optional<std::string> color;
    if (in.ConsumeBool()) color = in.ConsumeRandomLengthString(10);
    calendars.emplace_back(id, title, account, kind, color);
  }
  const sj::Value c = emitted(calendars);
  if (c.kind != sj::Value::Kind::kArray || c.items.size() != calendars.size()) {
    fail("calendar array", "calendars");
  }
  for (std::size_t i = 0; i < calendars.size(); ++i) {
    const velkor::CalendarOut& want = calendars[i];
    const sj::Value& got = c.items[i];
    if (want.color()) {
      expectKeys(got, {"account", "color", "id", "kind", "title"}, "calendar");
      expectString(got.member("color"), *want.color(), "calendar color");
    } else {
      expectKeys(got, {"account", "id", "kind", "title"}, "calendar");
    }
    expectString(got.member("account"), want.account(), "calendar account");
    expectString(got.member("id"), want.id(), "calendar id");
    expectString(got.member("kind"), want.kind(), "calendar kind");
    expectString(got.member("title"), want.title(), "calendar title");
  }

  std::vector<velkor::EventOut> events;
  while (in.remaining_bytes() > 0 && events.size() < 8) {
    std::string calendar = in.ConsumeRandomLengthString(16);
    std::string title = in.ConsumeRandomLengthString(48);
    std::string start = in.ConsumeRandomLengthString(16);
    std::string end = in.ConsumeRandomLengthString(16);
    const bool allDay = in.ConsumeBool();
    std::optional<std::string> location;
    if (in.ConsumeBool()) location = in.ConsumeRandomLengthString(32);
    events.emplace_back(calendar, title, start, end, allDay, location);
  }
  const sj::Value e = emitted(events);
  if (e.kind != sj::Value::Kind::kArray || e.items.size() != events.size()) {
    fail("event array", "events");
  }
  for (std::size_t i = 0; i < events.size(); ++i) {
    const velkor::EventOut& want = events[i];
    const sj::Value& got = e.items[i];
    if (want.location()) {
      expectKeys(got, {"allDay", "calendar", "end", "location", "start", "title"}, "event");
      expectString(got.member("location"), *want.location(), "event location");
    } else {
      expectKeys(got, {"allDay", "calendar", "end", "start", "title"}, "event");
    }
    const sj::Value* allDay = got.member("allDay");
    if (allDay == nullptr || allDay->kind != sj::Value::Kind::kBool ||
        allDay->boolean != want.allDay()) {
      fail("allDay", "event");
    }
    expectString(got.member("calendar"), want.calendar(), "event calendar");
    expectString(got.member("end"), want.end(), "event end");
    expectString(got.member("start"), want.start(), "event start");
    expectString(got.member("title"), want.title(), "event title");
  }
  return 0;
}
