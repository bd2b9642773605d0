"""A Thunderbird profile made by Thunderbird itself, and Thunderbird's own occurrence lists.

make() starts a local Radicale (htpasswd login) and a headless Thunderbird in HOME=home, and through
Marionette registers: a local calendar holding events.ics, a disabled local one (disabled.ics), a
cached CalDAV calendar on the Radicale (seeded with caldav.ics but for the last event, which is
added through Thunderbird) and an uncached one; Thunderbird's stock "Home" stays as made, disabled.
lists() asks Thunderbird for the occurrences of every window in every zone."""
import os, re, subprocess, sys, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from marionette import Thunderbird, free_port  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ZONES = ["Europe/Berlin", "America/New_York"]
# A week, one across Europe's spring change, two across the autumn changes, a month across both
# spring changes, the turn of the year, and the whole year.
WINDOWS = [("2026-06-08", "2026-06-15"), ("2026-03-23", "2026-03-30"),
           ("2026-10-19", "2026-10-26"), ("2026-10-26", "2026-11-02"), ("2026-03-01", "2026-04-01"),
           ("2026-12-28", "2027-01-04"), ("2026-01-01", "2027-01-01")]
# Of caldav.ics, the event Thunderbird adds online and the one it adds while working offline; it
# then deletes and moves one each while offline (the cache keeps them flagged until the next sync).
ADDED_UID, OFFLINE_UID = "added-through-thunderbird@velkor", "added-offline@velkor"
DELETED_UID, MOVED_UID = "team-release@velkor", "team-offsite@velkor"
USER, PASSWORD, REALM = "velkor", "s3cret", "Velkor test server"
# Title and colour of the calendars by role, and the kind the program gives the listed ones.
LOOKS = {"local": {"title": "Velkor Local", "color": "#3a87ad", "kind": "local"},
         "disabled": {"title": "Old Plans", "color": "#888888"},
         "cached": {"title": "Team (CalDAV)", "color": "#e6194b", "kind": "caldav"},
         "uncached": {"title": "Live only", "color": "#3cb44b"},
         "subscribed": {"title": "Holidays (ICS)", "color": "#f58231", "kind": "subscribed"}}
# The calendars the program lists, and that are compared with Thunderbird's lists.
LISTED = ("local", "cached", "subscribed")


def read(name):
    return open(os.path.join(HERE, name), encoding="utf-8").read().replace("\r\n", "\n").replace(
        "\n", "\r\n")


def by_uid(text):
    """The VEVENT blocks of a calendar text grouped by UID, in order of first appearance."""
    items = {}
    for block in re.findall(r"BEGIN:VEVENT\r\n.*?END:VEVENT\r\n", text, re.S):
        items.setdefault(re.search(r"^UID:(.*?)\r$", block, re.M).group(1), []).append(block)
    return items


def wrap(blocks):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor-calendar tests//EN\r\n" +
            "".join(blocks) + "END:VCALENDAR\r\n")


def radicale(home, log):
    """Radicale on 127.0.0.1 with a password file: collection `team` seeded with caldav.ics (but the
    events Thunderbird adds), `live` empty, `holidays` (subscribed to as one .ics) with
    holidays.ics.
    Returns the process, the login and URLs, the item counts."""
    root = os.path.join(home, "radicale")
    seeded = {uid: blocks for uid, blocks in by_uid(read("caldav.ics")).items()
              if uid not in (ADDED_UID, OFFLINE_UID)}
    holidays = by_uid(read("holidays.ics"))
    for collection, items in [("team", seeded), ("live", {}), ("holidays", holidays)]:
        folder = os.path.join(root, "collection-root", USER, collection)
        os.makedirs(folder)
        open(os.path.join(folder, ".Radicale.props"), "w").write('{"tag": "VCALENDAR"}')
        for n, blocks in enumerate(items.values()):
            open(os.path.join(folder, f"item{n}.ics"), "w", newline="").write(wrap(blocks))
    users = os.path.join(home, "radicale-users")
    open(users, "w").write(f"{USER}:{PASSWORD}\n")
    port = free_port()
    server = subprocess.Popen(
        ["radicale", "--server-hosts", f"127.0.0.1:{port}", "--auth-type", "htpasswd",
         "--auth-htpasswd-filename", users, "--auth-htpasswd-encryption", "plain",
         "--auth-realm", REALM, "--rights-type", "owner_only",
         "--storage-filesystem-folder", root], stdout=log, stderr=subprocess.STDOUT)
    origin = f"http://127.0.0.1:{port}"
    dav = {"user": USER, "password": PASSWORD, "realm": REALM, "origin": origin,
           "cached": f"{origin}/{USER}/team/", "uncached": f"{origin}/{USER}/live/",
           "subscribed": f"{origin}/{USER}/holidays/", "deleted": DELETED_UID, "moved": MOVED_UID}
    return server, dav, {"cached": len(seeded), "subscribed": len(holidays)}


def environment(home, zone):
    env = dict(os.environ, HOME=home, TZ=zone, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), MOZ_CRASHREPORTER_DISABLE="1")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


PREFS = {
    "calendar.timezone.useSystemTimezone": False,
    # No first-run dialogs, updates or outside requests.
    "mail.provider.suppress_dialog_on_startup": True,
    "mail.shell.checkDefaultClient": False,
    "app.update.disabledForTesting": True,
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
}


def make(home, zone, log):
    """Makes the profile; returns the running Thunderbird, the Radicale process and the calendar
    ids by role (local, disabled, cached, uncached, home)."""
    server, dav, server_items = radicale(home, log)
    tb = Thunderbird(home, environment(home, zone), log)
    try:
        tb.make_profiles()
        client = tb.start(dict(PREFS, **{"calendar.timezone.local": zone}))
        dav_items = by_uid(read("caldav.ics"))
        ids = client.script(open(os.path.join(HERE, "setup.js")).read(), LOOKS, read("events.ics"),
                            read("disabled.ics"), dav, wrap(dav_items[ADDED_UID]),
                            wrap(dav_items[OFFLINE_UID]), server_items)
    except BaseException:
        tb.kill()
        server.kill()
        server.wait()
        raise
    return tb, server, ids


def reopen(home, zone, log):
    """Thunderbird over a profile already in HOME=home (its server gone: the caches answer)."""
    tb = Thunderbird(home, environment(home, zone), log)
    try:
        tb.start(dict(PREFS, **{"calendar.timezone.local": zone}))
    except BaseException:
        tb.kill()
        raise
    return tb


def lists(client, ids):
    """{(zone, from, to): Thunderbird's occurrences} over the local and the cached calendar."""
    found = {}
    for zone in ZONES:
        answer = client.script(open(os.path.join(HERE, "occurrences.js")).read(), zone,
                               [ids[role] for role in LISTED if role in ids], WINDOWS)
        for window, occurrences in zip(WINDOWS, answer):
            found[(zone, *window)] = occurrences
    client.script('Services.prefs.setStringPref("calendar.timezone.local", arguments[0]);',
                  ZONES[0])
    return found
