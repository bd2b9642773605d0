// Marionette chrome script: Thunderbird's own occurrence lists. Arguments: the zone to set as
// Thunderbird's calendar zone, the calendar ids, and windows [FROM, TO] (local days, TO excluded).
// Returns one list per window, each occurrence written as the program writes an event.
// Thunderbird's range query compares floating times as if they were UTC, so it misses or adds
// floating occurrences near the edges of a window that its views then place by their wall time: the
// query is widened by a day each way and what overlaps the window on the local clock is kept, as a
// view shows it (a zero-length occurrence when it starts inside).
const [zone, ids, windows] = arguments;
const { cal } = ChromeUtils.importESModule("resource:///modules/calendar/calUtils.sys.mjs");

function two(n) {
  return String(n).padStart(2, "0");
}

function stamp(date) {
  if (!date.isDate && !date.timezone.isFloating) {
    date = date.getInTimezone(cal.dtz.defaultTimezone);
  }
  const hm = date.isDate ? "00:00" : `${two(date.hour)}:${two(date.minute)}`;
  return `${String(date.year).padStart(4, "0")}-${two(date.month + 1)}-${two(date.day)}T${hm}`;
}

function midnight(day, shift) {
  const [y, m, d] = day.split("-").map(Number);
  const date = cal.createDateTime();
  date.resetTo(y, m - 1, d + shift, 0, 0, 0, cal.dtz.defaultTimezone);
  return date;
}

function overlaps(event, from, to) {
  const [first, last] = [`${from}T00:00`, `${to}T00:00`];
  if (event.start == event.end) {
    return event.start >= first && event.start < last;
  }
  return event.start < last && event.end > first;
}

return (async () => {
  Services.prefs.setBoolPref("calendar.timezone.useSystemTimezone", false);
  Services.prefs.setStringPref("calendar.timezone.local", zone);
  if (cal.dtz.defaultTimezone.tzid != zone) {
    throw new Error(`Thunderbird's zone is ${cal.dtz.defaultTimezone.tzid}, not ${zone}`);
  }
  const filter =
    Ci.calICalendar.ITEM_FILTER_TYPE_EVENT | Ci.calICalendar.ITEM_FILTER_CLASS_OCCURRENCES;
  const lists = [];
  for (const [from, to] of windows) {
    const list = [];
    for (const id of ids) {
      const calendar = cal.manager.getCalendarById(id);
      const [wideFrom, wideTo] = [midnight(from, -1), midnight(to, 1)];
      for (const item of await calendar.getItemsAsArray(filter, 0, wideFrom, wideTo)) {
        const event = {
          allDay: item.startDate.isDate,
          calendar: "/thunderbird/" + id,
          end: stamp(item.endDate || item.startDate),
          start: stamp(item.startDate),
          title: item.title || "",
        };
        const location = item.getProperty("LOCATION");
        if (location) {
          event.location = location;
        }
        if (overlaps(event, from, to)) {
          list.push(event);
        }
      }
    }
    lists.push(list);
  }
  return lists;
})();
