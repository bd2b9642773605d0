#!/usr/bin/env python3
"""Hand-made faults, applied one at a time: each is rebuilt and the whole suite run (ctest), then
the source is put back. Prints, per fault, the tests that caught it, or that it survived.

  scripts/mutate.py [BUILD_DIR] [-k WORD] [--from N] [-R REGEX]

BUILD_DIR is a configured build directory (default build); -k keeps the faults whose description
holds WORD; --from starts at the Nth fault; -R runs only the tests ctest -R REGEX selects.

A fault whose snippet no longer stands exactly once in its file is reported "not applicable":
update its row after the code changed."""
import pathlib, re, subprocess, sys

FAULTS = [
    # (what a programmer got wrong, file, exact snippet, replacement)
    ("overlap: start at the window end counts", "src/ical/expand.cc",
     "return s.start < windowEnd_ && s.end > windowStart_;", "return s.start <= windowEnd_ && s.end > windowStart_;"),
    ("overlap: end at the window start counts", "src/ical/expand.cc",
     "return s.start < windowEnd_ && s.end > windowStart_;", "return s.start < windowEnd_ && s.end >= windowStart_;"),
    ("instant at the window start left out", "src/ical/expand.cc",
     "return s.start >= windowStart_ && s.start < windowEnd_;", "return s.start > windowStart_ && s.start < windowEnd_;"),
    ("four-year bound a day long", "src/store/store.h",
     "kLongestStoreWindow = std::chrono::days(1461);", "kLongestStoreWindow = std::chrono::days(1462);"),
    ("reader threads merged second half first", "src/filestore/search.cc",
     "  first.append(std::move(second));\n  return first;",
     "  second.append(std::move(first));\n  return second;"),
    ("system zone wins over the file's VTIMEZONE", "src/ical/zones.cc",
     "if (pass == 0 ? d.tzid == tzid : trimmed(d.tzid) == trimmed(tzid)) {",
     "if (!cache.fromSystem(std::string(trimmed(tzid))) && (pass == 0 ? d.tzid == tzid : trimmed(d.tzid) == trimmed(tzid))) {"),
    ("RDATE PERIOD takes the event's length", "src/ical/timing.cc",
     "out.push_back(RdateInstance{s, Span{*start, std::max(*start, end)}, true});",
     "if (const auto span = spanAt(s, zones.frameOf(p, s), false, timing.length)) out.push_back(RdateInstance{s, *span, true});"),
    ("batch cut between an event and its overrides", "src/ical/ics_events.cc",
     "batch.insert(batch.end(), unit.begin(), unit.end());",
     "for (std::uint32_t i : unit) { batch.push_back(i); if (bytes >= query.batchBytes) flush(); }"),
    ("EXDATE ignored", "src/ical/expand.cc",
     "add(excluded, *id);", "(void)id;"),
    ("overridden occurrence kept", "src/ical/expand.cc",
     "add(replaced, *o.id);", ""),
    ("all-day DTEND read as inclusive", "src/ical/timing.cc",
     "daysFromCivil(start.year, start.month, start.day)));", "daysFromCivil(start.year, start.month, start.day) + 1));"),
    ("expansion starts a day too late", "src/ical/expand.cc",
     "windowStart_ - reach.ahead - kDay;", "windowStart_ - reach.ahead + kDay;"),
    ("rule cap of 1,000 occurrences", "src/ical/expand.cc",
     "constexpr int kMaxPerRule = 100000;", "constexpr int kMaxPerRule = 1000;"),
    ("scan: a week of DURATION counted as 5 days", "src/ical/scan.cc",
     "days += amount * 7;", "days += amount * 5;"),
    ("scan: hours of DURATION read as minutes", "src/ical/scan.cc",
     "seconds += amount * 3600;", "seconds += amount * 60;"),
    ("scan: only the first value of an RDATE list", "src/ical/scan.cc",
     "if (comma == rest.size()) break;", "break;"),
    ("scan: the length of an RDATE period ignored", "src/ical/scan.cc",
     "last += *days;", "(void)days;"),
    ("hidden entries listed", "src/filestore/layout.cc",
     "bool hidden(std::string_view name) { return name.empty() || name.front() == '.'; }",
     "bool hidden(std::string_view name) { return name.empty(); }"),
    ("',' not escaped in ids", "src/store/identifier.cc",
     "if (n <= 0 || name[i] == '%' || name[i] == ',') {", "if (n <= 0 || name[i] == '%') {"),
    ("#RRGGBBAA refused", "src/store/color_text.cc",
     "if ((text.size() != 7 && text.size() != 9)", "if ((text.size() != 7)"),
    ("empty displayname taken as the title", "src/filestore/calendar_props.cc",
     "if (!line || line->empty()) return std::nullopt;", "if (!line) return std::nullopt;"),
    ("JSON: '/' not escaped", "src/output/json.cc", 'out.append("\\\\/");', "out.push_back('/');"),
    ("JSON: U+001F written raw", "src/output/json.cc", "if (c < 0x20) {", "if (c < 0x1f) {"),
    ("JSON: backspace as \\u0008", "src/output/json.cc", 'out.append("\\\\b");', 'out.append("\\\\u0008");'),
    ("JSON: invalid UTF-8 passed through", "src/base/utf8.cc", "if (n > 0) {", "if (n != 0) {"),
    ("sort not stable", "src/calendars/text_sort.cc", "std::stable_sort(order.begin()", "std::sort(order.begin()"),
    ("text order without NFC", "src/store/text_order.cc", "  return normalizeNfc(utf8);", "  return std::string(utf8);"),
    ("events sorted by title, then start", "src/events/event_sort.cc",
     "if (a.start != b.start) return a.start < b.start;\n    if (a.title != b.title) return a.title < b.title;",
     "if (a.title != b.title) return a.title < b.title;\n    if (a.start != b.start) return a.start < b.start;"),
    ("answer cap keeps the events found first", "src/store/event_list.cc",
     "std::nth_element(order.begin(), boundary, order.end());",
     "std::sort(order.begin(), order.end(), [](const Place& a, const Place& b) { return a.position < b.position; });"),
    ("answer cap cut by instant near a clock change", "src/store/event_list.cc",
     "constexpr auto kOffsetSpread = std::chrono::days(3);", "constexpr auto kOffsetSpread = std::chrono::minutes(1);"),
    ("a directory reached again through a link read again", "src/filestore/layout.cc",
     "if (!seen.insert(top.id).second) continue;", "seen.insert(top.id);"),
    ("calendars sorted by title, then account", "src/calendars/text_sort.cc",
     "keys.push_back({c.account(), c.title()});", "keys.push_back({c.title(), c.account()});"),
    ("usage line without its line feed", "src/output/usage.h",
     '"usage: velkor-calendar events FROM TO ID[,ID...]\\n";', '"usage: velkor-calendar events FROM TO ID[,ID...]";'),
    ("command words matched by prefix", "src/cli/dispatch.cc",
     'if (command == "status")', 'if (command.starts_with("stat"))'),
    ("request exits 0 whatever the state", "src/access/commands.cc",
     'return accessName(platform) == "fullAccess" ? kResult : kNoAccess;', "return kResult;"),
    ("gate refuses without the status record", "src/access/commands.cc",
     "  emit(out, Status(accessName(platform)));\n  return Gate::kRefused;", "  return Gate::kRefused;"),
    ("writeOnly named before macOS 14", "src/platform/eventkit_values.cc",
     "return isMacOS14OrLater() ? AccessState::kWriteOnly : AccessState::kUnknown;",
     "return AccessState::kWriteOnly;"),
    ("one retry too many for calendars", "src/calendars/list.cc",
     "retries < kMaxRetries;", "retries <= kMaxRetries;"),
    ("empty list asked again whatever the platform says", "src/calendars/list.cc",
     "platform.storeMayStillLoad && calendars.empty()", "calendars.empty()"),
    ("Linux store said to be still loading", "src/platform/store_linux.cc",
     "p.storeMayStillLoad = false;", "p.storeMayStillLoad = true;"),
    ("desktop module of another version loaded", "src/platform/module_loader.cc",
     "module->version != kDesktopModuleVersion || ", ""),
    ("desktop module looked for in the working directory", "src/platform/module_loader.cc",
     "out.push_back(self.parent_path() / kDesktopModuleFile);", "out.push_back(kDesktopModuleFile);"),
    ("kind name misspelt", "src/calendars/kind.cc", 'return "subscribed";', 'return "subscription";'),
    ("calendar without account is not local", "src/calendars/list.cc",
     'std::string("local")', 'std::string("other")'),
    ("hex truncates instead of rounding", "src/calendars/color.cc",
     "double v = product + 0.5;", "double v = product;"),
    ("ID list split skips the character after a comma", "src/events/query.cc",
     "begin = end + 1;", "begin = end + 2;"),
    ("empty location kept", "src/store/event_list.cc",
     "location && !location->empty() ? texts_.intern(*location) : kNoText;", "location ? texts_.intern(*location) : kNoText;"),
    ("FROM equal to TO accepted", "src/events/query.cc", "if (!(*from < *to))", "if (*to < *from)"),
    ("day text: any month has 31 days", "src/events/dates.cc",
     "day > static_cast<int>(daysInMonth(year, static_cast<unsigned>(month)))", "day > 31"),
    ("day text: three-digit years", "src/events/dates.cc", "if (i < 4 || year < 1)", "if (i < 3 || year < 1)"),
    ("a day the clock skips is accepted", "src/events/dates.cc",
     "if (localDate(hi) != day) return std::nullopt;", ""),
    ("stamps truncate toward 1970", "src/store/local_minute.cc",
     "std::chrono::floor<std::chrono::seconds>(instant.time_since_epoch())",
     "std::chrono::duration_cast<std::chrono::seconds>(instant.time_since_epoch())"),
    ("THISANDFUTURE read as this instance only", "src/ical/expand.cc",
     "if (o.thisAndFuture) shifts.push_back(shiftOf(o, timing));", ""),
    ("of several masters the first stands", "src/ical/parse.cc",
     "} else if (unit.master == nullptr || supersedes(events[i], unit.master)) {",
     "} else if (unit.master == nullptr) {"),
    ("a UID's far VEVENTs left out of its unit", "src/ical/units.cc",
     "unit.members.push_back(i);", "if (b.has(VeventBlock::kWanted)) unit.members.push_back(i);"),
    ("single-file units in the order they were wanted", "src/ical/units.cc",
     "[](const Unit& a, const Unit& b) { return a.anchor < b.anchor; });",
     "[](const Unit& a, const Unit& b) { return a.members.back() < b.members.back(); });"),
    ("stepped weeks start on Sunday whatever WKST says", "src/ical/steps.cc",
     "const int weekStart = rule.week_start == ICAL_NO_WEEKDAY ? 1 : rule.week_start - 1;",
     "const int weekStart = 0;"),
    ("a time with month 44 or hour 25 read", "src/ical/timing.cc",
     "if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > icaltime_days_in_month(t.month, t.year))\n    return false;", ""),
    ("a full read keeps a rule its cap cut before the window", "src/ical/expand.cc",
     "      runRule(own, dtstart, timing, reach, consider, true, from);", ""),
    ("component names compared exactly in the byte scan", "src/ical/scan.cc",
     'const bool vevent = startsWithUpper(rest.substr(1), "VEVENT");', 'const bool vevent = equalsUpper(rest.substr(1), "VEVENT");'),
    ("component names compared exactly in the single-file reader", "src/ical/blocks.cc",
     "if (startsWithUpper(component, known) && component != known) return false;", "(void)known;"),
    ("a moved instance landing on another's start merged with it", "src/ical/expand.cc",
     "return a.span.start == b.span.start && a.source == b.source;", "return a.span.start == b.span.start;"),
    ("Windows zone names left floating", "src/ical/zones.cc",
     "const int32_t n = ucal_getTimeZoneIDForWindowsID(", "const int32_t n = 0 * ucal_getTimeZoneIDForWindowsID("),
    # Code both search modes share, inputs no other row's tests hold, and boundaries: the
    # fast = full and crosscheck comparisons cannot see these.
    ("a DATE EXDATE on a timed series read as its midnight", "src/ical/expand.cc",
     "if (t.is_date || allDay) return InstanceId{", "if (allDay) return InstanceId{"),
    ("a DATE-TIME EXDATE on an all-day series read as an instant", "src/ical/expand.cc",
     "if (t.is_date || allDay) return InstanceId{", "if (t.is_date) return InstanceId{"),
    ("a date RDATE of a timed series at midnight of the local zone", "src/ical/timing.cc",
     "      t.is_date = 0;\n      frame = timing.frame;", "      t.is_date = 0;"),
    ("the second VCALENDAR of a file left out", "src/ical/parse.cc",
     "    case ICAL_VCALENDAR_COMPONENT:\n    case ICAL_XROOT_COMPONENT:", "    case ICAL_VCALENDAR_COMPONENT:"),
    ("UTF-8 repair: a sequence broken after two bytes replaced twice", "src/base/utf8.cc",
     "if (b < min || b > max) return -i;", "if (b < min || b > max) return -1;"),
    ("canonically equivalent titles ranked apart", "src/store/event_list.cc",
     "if (i > 0 && keys[i].first != keys[i - 1].first) ++next;", "if (i > 0) ++next;"),
    ("EDS ids not escaped", "src/eds/eds_listing.cc",
     '"/eds/" + identifierPart(copyString(e_source_get_uid(source)));', '"/eds/" + copyString(e_source_get_uid(source));'),
    ("EDS webcal calendars not subscribed", "src/eds/eds_listing.cc",
     '  if (backend == "webcal") return AccountKind::kSubscribed;\n', ""),
    ("EDS Exchange calendars of Microsoft 365 not exchange", "src/eds/eds_listing.cc",
     'if (backend == "ews" || backend == "microsoft365")', 'if (backend == "ews")'),
    ("EDS birthdays not birthdays", "src/eds/eds_listing.cc",
     '  if (backend == "contacts") return AccountKind::kBirthdays;\n', ""),
    ("all-day DATE-TIME end: minutes past midnight ignored", "src/ical/timing.cc",
     "(end.hour != 0 || end.minute != 0 || end.second != 0)", "(end.hour != 0)"),
    ("all-day DTEND on its DTSTART lasts no day", "src/ical/timing.cc",
     "std::max<Seconds>(1, daysFromCivil(end.year", "std::max<Seconds>(0, daysFromCivil(end.year"),
    ("timed DURATION: weeks ignored", "src/ical/timing.cc",
     "Seconds{d.weeks} * 7 + Seconds{d.days}", "Seconds{d.days}"),
    ("all-day DURATION: a part day not counted", "src/ical/timing.cc",
     "(days + (seconds + kDay - 1) / kDay)", "(days + seconds / kDay)"),
    ("negative DURATION read as positive", "src/ical/timing.cc",
     "const Seconds sign = d.is_neg ? -1 : 1;", "const Seconds sign = 1;"),
    ("nominal DURATION of days added as exact time", "src/ical/timing.cc",
     "    end = *moved + len.nominalSeconds;", "    end = *start + Seconds{len.nominalDays} * kDay + len.nominalSeconds;"),
    ("'%' not escaped in ids", "src/store/identifier.cc",
     "if (n <= 0 || name[i] == '%' || name[i] == ',') {", "if (n <= 0 || name[i] == ',') {"),
    ("selected ids compared without NFC", "src/events/query.cc",
     "if (wanted.contains(textKey(c.id))) selected.push_back(c);", "if (wanted.contains(c.id)) selected.push_back(c);"),
    ("answer cap a fifth lower", "src/store/event_list.h",
     "kMaxStoreEvents = 500000;", "kMaxStoreEvents = 400000;"),
    ("UNTIL in UTC compared as the event's wall time", "src/ical/expand.cc",
     "      own.until = wallAt(utcSeconds(own.until), timing.frame, false);\n", ""),
    ("content lines: a tab does not continue a line", "src/base/content_lines.h",
     "(physical.front() == ' ' || physical.front() == '\\t')", "physical.front() == ' '"),
    ("content lines in memory: a tab does not continue a line", "src/base/content_lines.h",
     "(text_[stop] == ' ' || text_[stop] == '\\t')", "text_[stop] == ' '"),
    ("small files: a CR alone does not end a line", "src/filestore/files.cc",
     'buffer_.find_first_of("\\r\\n", scanned_)', "buffer_.find('\\n', scanned_)"),
    # The Thunderbird store; `-k Thunderbird -R thunderbird` shows what the differential with
    # Thunderbird catches.
    ("Thunderbird: a single event deleted offline shown", "src/thunderbird/rows.cc",
     "                 if (r.deleted) return;\n                 const std::optional<std::string> where",
     "                 const std::optional<std::string> where"),
    ("Thunderbird: overrides ignored", "src/thunderbird/rows.cc",
     "if (!r.recurrenceId || r.deleted || (masterFlags & kHasExceptions) == 0) return;", "return;"),
    ("Thunderbird: disabled calendars listed", "src/thunderbird/store_thunderbird.cc",
     "      if (r.disabled) continue;\n", ""),
    ("Thunderbird: the all-day flag ignored", "src/thunderbird/rows.cc",
     "const bool allDay = (r.flags & kAllDay) != 0;", "const bool allDay = false;"),
    ("Thunderbird: LOCATION dropped", "src/thunderbird/rows.cc",
     "  if (location != nullptr) {\n    e += \"LOCATION:\";", "  if (false) {\n    e += \"LOCATION:\";"),
    ("Thunderbird: no margin around the window for floating times", "src/thunderbird/rows.cc",
     "constexpr std::int64_t kMarginMicros = std::int64_t{2} * 86400 * 1000000;",
     "constexpr std::int64_t kMarginMicros = 0;"),
    ("Thunderbird: a copy taken while the database changed accepted", "src/thunderbird/snapshot.cc",
     "    if (!(stampOf(database.string() + kParts[i]) == before[i])) return false;", "    (void)before;"),
    ("Thunderbird: the -wal not copied", "src/thunderbird/snapshot.cc",
     'constexpr std::array<const char*, 3> kParts = {"", "-wal", "-journal"};',
     'constexpr std::array<const char*, 3> kParts = {"", "-none", "-journal"};'),
]


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def main():
    args = sys.argv[1:]
    option = lambda name: args[args.index(name) + 1] if name in args else None
    only, first, select = option("-k"), int(option("--from") or 1), option("-R")
    build = next((a for i, a in enumerate(args) if not a.startswith("-") and (i == 0 or not args[i - 1].startswith("-"))), "build")
    root = pathlib.Path(__file__).resolve().parent.parent
    for number, (what, name, snippet, replacement) in enumerate(FAULTS, 1):
        if (only and only not in what) or number < first:
            continue
        path = root / name
        text = path.read_text()
        if text.count(snippet) != 1:
            print(f"{what}: not applicable", flush=True)
            continue
        try:
            path.write_text(text.replace(snippet, replacement))
            if run(["cmake", "--build", build, "-j2"], cwd=root).returncode != 0:
                print(f"{what}: caught by the compiler", flush=True)
                continue
            out = run(["ctest", "--test-dir", build, "-j2", "--timeout", "600"] + (["-R", select] if select else []), cwd=root).stdout
            failed = sorted(set(re.findall(r"^\s*\d+ - (\S+).*\((?:Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)", out, re.M)))
            print(f"{what}: " + (f"caught by {', '.join(failed)}" if failed else "SURVIVED"), flush=True)
        finally:
            path.write_text(text)
    run(["cmake", "--build", build, "-j2"], cwd=root)


if __name__ == "__main__":
    main()
