#include "thunderbird/rows.h"

#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ical/ics_text.h"

namespace velkor {
namespace {

// Floating and all-day times are stored as if their wall time were UTC: up to 14 hours from the
// instant they mean in the process's zone. Two days either side keeps every one that may count.
constexpr std::int64_t kMarginMicros = std::int64_t{2} * 86400 * 1000000;

constexpr std::int64_t kAllDay = 8;
constexpr std::int64_t kRecurring = 16;
constexpr std::int64_t kHasExceptions = 32;
constexpr std::int64_t kAllDayRecurrenceId = 512;
constexpr std::int64_t kDeletedOffline = 4;  // offline_journal

constexpr const char* kColumns =
    "SELECT id, title, flags, event_start, event_start_tz, event_end, event_end_tz, "
    "recurrence_id, recurrence_id_tz, offline_journal FROM cal_events ";

struct Row {
  std::string id;
  std::optional<std::string> title;
  std::int64_t flags = 0;
  std::optional<std::int64_t> start, end, recurrenceId;
  std::string startTz, endTz, recurrenceIdTz;
  bool deleted = false;
};

std::string textAt(sqlite3_stmt* s, int column) {
  const auto* p = static_cast<const char*>(sqlite3_column_blob(s, column));
  const int n = sqlite3_column_bytes(s, column);
  return p == nullptr ? std::string() : std::string(p, static_cast<std::size_t>(n));
}

std::optional<std::int64_t> integerAt(sqlite3_stmt* s, int column) {
  if (sqlite3_column_type(s, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int64(s, column);
}

Row rowOf(sqlite3_stmt* s) {
  Row r;
  r.id = textAt(s, 0);
  if (sqlite3_column_type(s, 1) != SQLITE_NULL) r.title = textAt(s, 1);
  r.flags = sqlite3_column_int64(s, 2);
  r.start = integerAt(s, 3);
  r.startTz = textAt(s, 4);
  r.end = integerAt(s, 5);
  r.endTz = textAt(s, 6);
  r.recurrenceId = integerAt(s, 7);
  r.recurrenceIdTz = textAt(s, 8);
  r.deleted = integerAt(s, 9) == kDeletedOffline;
  return r;
}

// A TEXT value: backslash, semicolon, comma and line ends escaped, NUL bytes dropped.
void appendText(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ';':
        out += "\\;";
        break;
      case ',':
        out += "\\,";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
      case '\0':
        break;
      default:
        out.push_back(c);
    }
  }
}

// A stored RRULE, RDATE, EXDATE or EXRULE line, unfolded; none when it is anything else.
std::optional<std::string> recurrenceLine(std::string_view stored) {
  std::string line;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == '\r' || c == '\n') {
      while (i + 1 < stored.size() && (stored[i + 1] == '\r' || stored[i + 1] == '\n')) ++i;
      if (i + 1 < stored.size() && (stored[i + 1] == ' ' || stored[i + 1] == '\t')) {
        ++i;
        continue;
      }
      if (i + 1 < stored.size()) return std::nullopt;  // a second line
      break;
    }
    if (c == '\0') return std::nullopt;
    line.push_back(c);
  }
  const std::string_view name = nameOf(line);
  for (const char* known : {"RRULE", "RDATE", "EXDATE", "EXRULE"}) {
    if (equalsUpper(name, known)) return line;
  }
  return std::nullopt;
}

// iCalendar texts of at most about `limit` bytes of events, each with the zones its events name.
class Batches {
 public:
  Batches(std::uint32_t calendar, const IcsQuery& query, ZoneCache& zones, EventList& out)
      : calendar_(calendar), query_(query), zones_(zones), out_(out) {}

  // Appends one VEVENT of the current UID; false when its start cannot be written.
  bool event(const Row& r, const std::vector<std::string>* rules, const std::string* location,
             StoredClock& clock);
  void endUid() {
    ++uid_;
    if (body_.size() >= query_.batchBytes) flush();
  }
  void flush();

 private:
  bool time(const char* name, std::int64_t micros, const std::string& zone, bool date,
            StoredClock& clock, std::string& to);

  std::uint32_t calendar_;
  const IcsQuery& query_;
  ZoneCache& zones_;
  EventList& out_;
  std::string body_;
  std::map<std::string, std::string> definitions_;  // VTIMEZONEs by TZID
  std::uint64_t uid_ = 0;
};

bool Batches::time(const char* name, std::int64_t micros, const std::string& zone, bool date,
                   StoredClock& clock, std::string& to) {
  std::optional<TimeText> t = clock.text(micros, zone, date);
  if (!t) return false;
  if (!t->zoneDefinition.empty()) {
    const std::size_t at = t->parameters.find('=');
    definitions_.try_emplace(t->parameters.substr(at + 1), std::move(t->zoneDefinition));
  }
  to += name;
  to += t->parameters;
  to += ':';
  to += t->value;
  to += "\r\n";
  return true;
}

bool Batches::event(const Row& r, const std::vector<std::string>* rules,
                    const std::string* location, StoredClock& clock) {
  std::string e = "BEGIN:VEVENT\r\nUID:tb" + std::to_string(uid_) + "\r\n";
  const bool allDay = (r.flags & kAllDay) != 0;
  if (!r.start || !time("DTSTART", *r.start, r.startTz, allDay, clock, e)) return false;
  if (r.end && !time("DTEND", *r.end, r.endTz, allDay, clock, e)) return false;
  if (r.recurrenceId && !time("RECURRENCE-ID", *r.recurrenceId, r.recurrenceIdTz,
                              (r.flags & kAllDayRecurrenceId) != 0, clock, e)) {
    return false;
  }
  if (r.title) {
    e += "SUMMARY:";
    appendText(e, *r.title);
    e += "\r\n";
  }
  if (location != nullptr) {
    e += "LOCATION:";
    appendText(e, *location);
    e += "\r\n";
  }
  if (rules != nullptr) {
    for (const std::string& line : *rules) (e += line) += "\r\n";
  }
  body_ += e;
  body_ += "END:VEVENT\r\n";
  return true;
}

void Batches::flush() {
  if (body_.empty()) return;
  std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor-calendar//EN\r\n";
  for (const auto& [tzid, definition] : definitions_) text += definition;
  text += body_;
  text += "END:VCALENDAR\r\n";
  body_.clear();
  definitions_.clear();
  appendIcsEvents(text, calendar_, query_, zones_, out_);
}

// Steps `s` to its end, handing each row to `each`; false on an error.
template <typename Each>
bool eachRow(sqlite3_stmt* s, Each each) {
  for (;;) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return true;
    if (rc != SQLITE_ROW) return false;
    each(s);
  }
}

class Reader {
 public:
  Reader(sqlite3* db, const std::string& calId) : db_(db), calId_(calId) {}

  bool prepared() {
    location_ = prepare(db_,
                        "SELECT value FROM cal_properties WHERE cal_id = ?1 AND item_id = ?2 "
                        "AND recurrence_id IS ?3 AND key = 'LOCATION' LIMIT 1");
    return location_ != nullptr;
  }

  // The stored LOCATION of an event or override; none when it has none.
  std::optional<std::string> location(const Row& r, bool& ok) {
    sqlite3_stmt* s = location_.get();
    sqlite3_reset(s);
    sqlite3_bind_text(s, 1, calId_.data(), static_cast<int>(calId_.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, r.id.data(), static_cast<int>(r.id.size()), SQLITE_STATIC);
    if (r.recurrenceId) {
      sqlite3_bind_int64(s, 3, *r.recurrenceId);
    } else {
      sqlite3_bind_null(s, 3);
    }
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return textAt(s, 0);
    if (rc != SQLITE_DONE) ok = false;
    return std::nullopt;
  }

  bool bindCalendar(sqlite3_stmt* s) {
    return sqlite3_bind_text(s, 1, calId_.data(), static_cast<int>(calId_.size()), SQLITE_STATIC) ==
           SQLITE_OK;
  }

 private:
  sqlite3* db_;
  const std::string& calId_;
  Statement location_;
};

}  // namespace

bool appendCalendarEvents(sqlite3* db, const std::string& calId, std::uint32_t calendar,
                          const IcsQuery& query, StoredClock& clock, ZoneCache& zones,
                          EventList& out) {
  Reader reader(db, calId);
  if (!reader.prepared()) return false;
  bool ok = true;
  Batches batches(calendar, query, zones, out);

  // Single events near the window.
  const Statement singles =
      prepare(db, (std::string(kColumns) +
                   "WHERE cal_id = ?1 AND recurrence_id IS NULL AND (flags & 16) = 0 "
                   "AND event_start < ?3 AND coalesce(event_end, event_start) >= ?2")
                      .c_str());
  if (!singles || !reader.bindCalendar(singles.get())) return false;
  const std::int64_t from = query.start.time_since_epoch().count() * 1000 - kMarginMicros;
  const std::int64_t to = query.end.time_since_epoch().count() * 1000 + kMarginMicros;
  sqlite3_bind_int64(singles.get(), 2, from);
  sqlite3_bind_int64(singles.get(), 3, to);
  ok = eachRow(singles.get(),
               [&](sqlite3_stmt* s) {
                 const Row r = rowOf(s);
                 if (r.deleted) return;
                 const std::optional<std::string> where = reader.location(r, ok);
                 if (batches.event(r, nullptr, where ? &*where : nullptr, clock)) batches.endUid();
               }) &&
       ok;

  // Every recurring series: its rules, then its master and overrides.
  std::unordered_map<std::string, std::vector<std::string>> rules;
  const Statement recurrence =
      prepare(db, "SELECT item_id, icalString FROM cal_recurrence WHERE cal_id = ?1");
  if (!recurrence || !reader.bindCalendar(recurrence.get())) return false;
  ok = eachRow(recurrence.get(),
               [&](sqlite3_stmt* s) {
                 if (auto line = recurrenceLine(textAt(s, 1))) rules[textAt(s, 0)].push_back(*line);
               }) &&
       ok;
  const Statement series =
      prepare(db, (std::string(kColumns) +
                   "WHERE cal_id = ?1 AND id IN (SELECT id FROM cal_events WHERE cal_id = ?1 AND "
                   "recurrence_id IS NULL AND (flags & 16) != 0) "
                   "ORDER BY id, recurrence_id IS NOT NULL, recurrence_id")
                      .c_str());
  if (!series || !reader.bindCalendar(series.get())) return false;
  std::string current;         // the UID whose rows are being read
  bool masterWritten = false;  // its master was written
  std::int64_t masterFlags = 0;
  ok = eachRow(series.get(),
               [&](sqlite3_stmt* s) {
                 const Row r = rowOf(s);
                 if (r.id != current || !masterWritten) {
                   if (masterWritten) batches.endUid();
                   current = r.id;
                   masterWritten = false;
                   // A UID starts with its master (nulls sort first); overrides without one are
                   // skipped.
                   if (r.recurrenceId || r.deleted || (r.flags & kRecurring) == 0) return;
                   const auto found = rules.find(r.id);
                   const std::optional<std::string> where = reader.location(r, ok);
                   masterWritten = batches.event(r, found != rules.end() ? &found->second : nullptr,
                                                 where ? &*where : nullptr, clock);
                   masterFlags = r.flags;
                   return;
                 }
                 // Thunderbird reads a series' overrides only when its master says it has some.
                 if (!r.recurrenceId || r.deleted || (masterFlags & kHasExceptions) == 0) return;
                 const std::optional<std::string> where = reader.location(r, ok);
                 batches.event(r, nullptr, where ? &*where : nullptr, clock);
               }) &&
       ok;
  if (masterWritten) batches.endUid();
  batches.flush();
  return ok;
}

}  // namespace velkor
