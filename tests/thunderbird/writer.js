// Marionette chrome script: starts writing to a calendar and returns at once, so that the program
// reads while Thunderbird writes. Arguments: the calendar id, how many events to add (one at a
// time, 25 ms apart, each on its own day of 2026, Europe/Berlin 12:00-13:00) and a pref that counts
// the events written (-1 when a write failed). Every second write is followed by a checkpoint of
// the database's -wal, which rewrites the main file as Thunderbird's own checkpoints do.
const [id, count, counter] = arguments;
const { cal } = ChromeUtils.importESModule("resource:///modules/calendar/calUtils.sys.mjs");
const calendar = cal.manager.getCalendarById(id);
const zone = cal.timezoneService.getTimezone("Europe/Berlin");
Services.prefs.setIntPref(counter, 0);
(async () => {
  const { CalEvent } = ChromeUtils.importESModule("resource:///modules/CalEvent.sys.mjs");
  for (let i = 0; i < count; i++) {
    const event = new CalEvent();
    event.id = `written-${i}@velkor`;
    event.title = `Written during reads ${i}`;
    const start = cal.createDateTime();
    start.resetTo(2026, 0, 1 + i, 12, 0, 0, zone);
    const end = start.clone();
    end.hour = 13;
    event.startDate = start;
    event.endDate = end;
    await calendar.addItem(event);
    if (i % 2 == 1) {
      calendar.wrappedJSObject.db.executeSimpleSQL("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    Services.prefs.setIntPref(counter, i + 1);
    await new Promise(resolve => setTimeout(resolve, 25));
  }
})().catch(e => Services.prefs.setIntPref(counter, -1));
return true;
