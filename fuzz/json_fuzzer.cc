// The JSON writer against the independent strict reader: records of arbitrary bytes must come out
// as one compact line of strict JSON, members in key order, optional ones only when present, that
// reads back to the fields with invalid UTF-8 repaired.
#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>

#include "fuzz_common.h"
#include "output/json.h"
#include "output/utf8.h"

namespace {

using velkor::fuzzing::fail;
using Value = velkor::strict_json::Value;

template <typename Records>
Value emitted(const Records& records) {
  std::ostringstream out;
  velkor::emit(out, records);
  return velkor::fuzzing::jsonLine(out.str());
}

// `object` has exactly these members, in this order, holding these texts.
void expectMembers(const Value& object,
                   const std::vector<std::pair<std::string, std::optional<std::string>>>& members) {
  std::vector<std::string> keys;
  for (const auto& [key, text] : members) {
    if (!text) continue;
    keys.push_back(key);
    const Value* v = object.member(key);
    if (v == nullptr || v->kind != Value::Kind::kString || v->text != velkor::repairUtf8(*text))
      fail("member", key);
  }
  if (object.keys != keys) fail("members or their order", keys.empty() ? "" : keys[0]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto text = [&in] { return in.ConsumeRandomLengthString(24); };
  auto optional = [&]() -> std::optional<std::string> {
    return in.ConsumeBool() ? std::optional(text()) : std::nullopt;
  };

  const velkor::Status status(text());
  expectMembers(emitted(status), {{"access", status.access()}});
  std::vector<velkor::CalendarOut> calendars;
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
    calendars.emplace_back(text(), text(), text(), text(), optional());
  const Value c = emitted(calendars);
  if (c.kind != Value::Kind::kArray || c.items.size() != calendars.size())
    fail("calendar array", "");
  for (size_t i = 0; i < calendars.size(); ++i) {
    const velkor::CalendarOut& k = calendars[i];
    expectMembers(c.items[i], {{"account", k.account()},
                               {"color", k.color()},
                               {"id", k.id()},
                               {"kind", k.kind()},
                               {"title", k.title()}});
  }
  std::vector<velkor::EventOut> events;
  while (in.remaining_bytes() > 0 && events.size() < 6)
    events.emplace_back(text(), text(), text(), text(), in.ConsumeBool(), optional());
  const Value e = emitted(events);
  if (e.kind != Value::Kind::kArray || e.items.size() != events.size()) fail("event array", "");
  for (size_t i = 0; i < events.size(); ++i) {
    const velkor::EventOut& k = events[i];
    Value rest = e.items[i];
    const Value* allDay = rest.member("allDay");
    if (rest.keys.empty() || rest.keys[0] != "allDay" || allDay->kind != Value::Kind::kBool ||
        allDay->boolean != k.allDay())
      fail("allDay", "");
    rest.keys.erase(rest.keys.begin());
    rest.items.erase(rest.items.begin());
    expectMembers(rest, {{"calendar", k.calendar()},
                         {"end", k.end()},
                         {"location", k.location()},
                         {"start", k.start()},
                         {"title", k.title()}});
  }
  return 0;
}
