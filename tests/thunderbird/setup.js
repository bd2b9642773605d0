// Marionette chrome script: registers the test calendars the way Thunderbird's own dialogs do and
// fills them through Thunderbird's calendar API. Arguments: the local events (iCalendar text), the
// event of the disabled calendar, the CalDAV login and collection URLs, the event added through the
// cached CalDAV calendar, and how many items the server holds before it. Returns the ids by role.
const [localText, disabledText, dav, addedText, serverItems] = arguments;
const { cal } = ChromeUtils.importESModule("resource:///modules/calendar/calUtils.sys.mjs");

function parse(text) {
  const parser = Cc["@mozilla.org/calendar/ics-parser;1"].createInstance(Ci.calIIcsParser);
  parser.parseString(text);
  return parser.getItems();
}

function calendar(type, uri, name, color, props = {}) {
  const created = cal.manager.createCalendar(type, Services.io.newURI(uri));
  created.name = name;
  created.setProperty("color", color);
  for (const [key, value] of Object.entries(props)) {
    created.setProperty(key, value);
  }
  cal.manager.registerCalendar(created);
  return cal.manager.getCalendarById(created.id);
}

async function events(target) {
  return target.getItemsAsArray(Ci.calICalendar.ITEM_FILTER_TYPE_EVENT, 0, null, null);
}

async function until(what, check, seconds) {
  for (let i = 0; i < seconds * 4; i++) {
    if (await check()) {
      return;
    }
    await new Promise(resolve => setTimeout(resolve, 250));
  }
  throw new Error(`timed out waiting for ${what}`);
}

return (async () => {
  const local = calendar("storage", "moz-storage-calendar://", "Velkor Local", "#3a87ad");
  for (const item of parse(localText)) {
    await local.addItem(item);
  }
  const disabled = calendar("storage", "moz-storage-calendar://", "Old Plans", "#888888");
  for (const item of parse(disabledText)) {
    await disabled.addItem(item);
  }
  disabled.setProperty("disabled", true);

  // Before the calendars are registered, or their first request asks for a password and fails.
  // Marionette turns password saving off for automation; a user has it on.
  Services.prefs.setBoolPref("signon.rememberSignons", true);
  await cal.auth.passwordManagerSave(dav.user, dav.password, dav.origin, dav.realm);
  const network = { username: dav.user, "calendar-main-in-composite": true };
  const cached = calendar("caldav", dav.cached, "Team (CalDAV)", "#e6194b",
                          { ...network, "cache.enabled": true });
  const uncached = calendar("caldav", dav.uncached, "Live only", "#3cb44b",
                            { ...network, "cache.enabled": false });
  await until("the cached calendar's first sync", async () =>
    (await events(cached)).length == serverItems, 60);
  for (const item of parse(addedText)) {
    await cached.addItem(item);
  }
  await until("the added event in the cache", async () =>
    (await events(cached)).length == serverItems + 1, 60);
  return {
    local: local.id,
    disabled: disabled.id,
    cached: cached.id,
    uncached: uncached.id,
    home: cal.manager.getCalendars().find(c => c.name == "Home")?.id,
    localItems: (await events(local)).length,
  };
})();
