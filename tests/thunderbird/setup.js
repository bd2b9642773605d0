// Marionette chrome script: registers the test calendars the way Thunderbird's own dialogs do and
// fills them through Thunderbird's calendar API. Arguments: name and colour by role, the local
// events (iCalendar text), the event of the disabled calendar, the login, the collection URLs and
// the UIDs to delete and move offline, the events added through the cached CalDAV calendar online
// and offline, and how many items the server holds before them. Returns the ids by role.
const [looks, localText, disabledText, dav, addedText, offlineText, serverItems] = arguments;
const { cal } = ChromeUtils.importESModule("resource:///modules/calendar/calUtils.sys.mjs");

function parse(text) {
  const parser = Cc["@mozilla.org/calendar/ics-parser;1"].createInstance(Ci.calIIcsParser);
  parser.parseString(text);
  return parser.getItems();
}

function calendar(type, uri, role, props = {}) {
  const created = cal.manager.createCalendar(type, Services.io.newURI(uri));
  created.name = looks[role].title;
  created.setProperty("color", looks[role].color);
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
  const local = calendar("storage", "moz-storage-calendar://", "local");
  for (const item of parse(localText)) {
    await local.addItem(item);
  }
  const disabled = calendar("storage", "moz-storage-calendar://", "disabled");
  for (const item of parse(disabledText)) {
    await disabled.addItem(item);
  }
  disabled.setProperty("disabled", true);

  // Before the calendars are registered, or their first request asks for a password and fails.
  // Marionette turns password saving off for automation; a user has it on.
  Services.prefs.setBoolPref("signon.rememberSignons", true);
  await cal.auth.passwordManagerSave(dav.user, dav.password, dav.origin, dav.realm);
  const network = { username: dav.user, "calendar-main-in-composite": true };
  const cached = calendar("caldav", dav.cached, "cached", {
    ...network, "cache.enabled": true });
  const uncached = calendar("caldav", dav.uncached, "uncached", {
    ...network, "cache.enabled": false });
  const subscribed = calendar("ics", dav.subscribed, "subscribed", {
    ...network, "cache.enabled": true });
  await until("the cached calendar's first sync", async () =>
    (await events(cached)).length == serverItems.cached, 60);
  await until("the subscribed calendar's first sync", async () =>
    (await events(subscribed)).length == serverItems.subscribed, 60);
  for (const item of parse(addedText)) {
    await cached.addItem(item);
  }
  await until("the added event in the cache", async () =>
    (await events(cached)).length == serverItems.cached + 1, 60);

  // Working offline, changes stay in the cache, flagged, until the next sync: one event deleted,
  // one moved a week later and retitled, one added.
  Services.io.offline = true;
  const byUid = async uid => (await events(cached)).find(item => item.id == uid);
  await cached.deleteItem(await byUid(dav.deleted));
  const original = await byUid(dav.moved);
  const moved = original.clone();
  moved.title += " (moved offline)";
  for (const key of ["startDate", "endDate"]) {
    const date = moved[key].clone();
    date.addDuration(cal.createDuration("P7D"));
    moved[key] = date;
  }
  await cached.modifyItem(moved, original);
  for (const item of parse(offlineText)) {
    await cached.addItem(item);
  }
  return {
    local: local.id,
    disabled: disabled.id,
    cached: cached.id,
    uncached: uncached.id,
    subscribed: subscribed.id,
    home: cal.manager.getCalendars().find(c => c.name == "Home")?.id,
    localItems: (await events(local)).length,
  };
})();
