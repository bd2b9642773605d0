#!/usr/bin/env python3
"""Writes a Thunderbird profile of 10,000 events (--events N) and the same events as a file store.

The databases take the schema of the profile Thunderbird 153 wrote (tests/thunderbird/profile) and
rows as Thunderbird stores them: times in microseconds since 1970 with an Olson name, "UTC" or
"floating" beside them, all-day flags, recurrence lines, LOCATION in cal_properties, overrides as
rows with a recurrence_id. Two calendars: a local one (local.sqlite, 70%) and a cached CalDAV one
(cache.sqlite). About 3% of the events are series (weekly, daily or monthly; half with an end,
some with EXDATE and an override), 6% all-day, 5% floating, spread over 2024-2028. The same events
go to DIR/data/calendars/tb/<calendar>/<uid>.ics, so that both stores answer the same query.

Usage: make_thunderbird_profile.py DIR [--events N] [--seed S] [--floating SHARE]
DIR becomes the home: the profile is DIR/.thunderbird/bench.default-release.
"""
import argparse
import os
import random
import sqlite3
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo

HERE = os.path.dirname(os.path.abspath(__file__))
REAL = os.path.join(HERE, "..", "tests", "thunderbird", "profile", ".thunderbird",
                    "deczfha6.default-default", "calendar-data", "local.sqlite")
CALENDARS = (("5b0c1a3e-0000-4000-8000-00000000a001", "Bench Local", "storage", "local.sqlite"),
             ("5b0c1a3e-0000-4000-8000-00000000b002", "Bench Team", "caldav", "cache.sqlite"))
WORDS = ("Standup Review Planning Lunch Call Sync Retro Workshop Dentist Gym Dinner Flight "
         "Interview Demo Budget Offsite Training Café Überblick Réunion 会議").split()
PLACES = ("Room 1", "Room 2", "Berlin, Alexanderplatz", "Zoom", "Café Müller", "")
ZONES = ("Europe/Berlin", "Europe/Berlin", "Europe/Berlin", "America/New_York", "UTC")
EPOCH = datetime(1970, 1, 1, tzinfo=timezone.utc)


def micros(dt):
    return int((dt - EPOCH) / timedelta(microseconds=1))


def stored(wall, zone, all_day):
    """Thunderbird's (microseconds, zone text) of a wall time."""
    if all_day or zone == "floating":
        return micros(wall.replace(tzinfo=timezone.utc)), "floating"
    if zone == "UTC":
        return micros(wall.replace(tzinfo=timezone.utc)), "UTC"
    return micros(wall.replace(tzinfo=ZoneInfo(zone))), zone


def ics_time(name, wall, zone, all_day):
    if all_day:
        return f"{name};VALUE=DATE:{wall:%Y%m%d}\r\n"
    if zone == "floating":
        return f"{name}:{wall:%Y%m%dT%H%M%S}\r\n"
    if zone == "UTC":
        return f"{name}:{wall:%Y%m%dT%H%M%S}Z\r\n"
    return f"{name};TZID={zone}:{wall:%Y%m%dT%H%M%S}\r\n"


def escape(text):
    return text.replace("\\", "\\\\").replace(";", "\\;").replace(",", "\\,")


def make_event(rng, uid, floating):
    all_day = rng.random() < 0.06
    zone = "floating" if rng.random() < floating else rng.choice(ZONES)
    day = datetime(2024, 1, 1) + timedelta(days=rng.randrange(5 * 365))
    if all_day:
        start, end = day, day + timedelta(days=rng.choice((1, 1, 1, 2, 3)))
    else:
        start = day + timedelta(hours=rng.randrange(24), minutes=rng.choice((0, 15, 30, 45)))
        end = start + timedelta(minutes=rng.choice((15, 30, 60, 60, 90, 120)))
    e = {"uid": uid, "title": " ".join(rng.sample(WORDS, rng.choice((1, 2)))),
         "place": rng.choice(PLACES), "start": start, "end": end, "zone": zone,
         "allDay": all_day, "rules": [], "overrides": []}
    if rng.random() < 0.03:
        kind = rng.choice(("WEEKLY", "WEEKLY", "DAILY", "MONTHLY"))
        ending = rng.choice(("", f";COUNT={rng.randrange(5, 60)}", ";UNTIL=20270101T000000Z"))
        e["rules"].append(f"RRULE:FREQ={kind}{ending}")
        step = {"WEEKLY": 7, "DAILY": 1, "MONTHLY": 28}[kind]
        if kind != "MONTHLY" and not all_day and rng.random() < 0.5:
            skipped = start + timedelta(days=step * 2)
            e["rules"].append(ics_time("EXDATE", skipped, zone, False).strip())
            moved = start + timedelta(days=step * 3)
            e["overrides"].append((moved, moved + timedelta(hours=2)))
    return e


def ics_text(e):
    lines = ["BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor bench//EN\r\n"]
    parts = [(None, e["start"], e["end"], e["title"])]
    parts += [(rid, s, t, e["title"] + " (moved)") for rid, (s, t) in
              ((s, (s + timedelta(hours=1), t)) for s, t in e["overrides"])]
    for rid, start, end, title in parts:
        lines.append(f"BEGIN:VEVENT\r\nUID:{e['uid']}\r\nDTSTAMP:20240101T000000Z\r\n")
        lines.append(ics_time("DTSTART", start, e["zone"], e["allDay"]))
        lines.append(ics_time("DTEND", end, e["zone"], e["allDay"]))
        if rid is not None:
            lines.append(ics_time("RECURRENCE-ID", rid, e["zone"], e["allDay"]))
        lines.append(f"SUMMARY:{escape(title)}\r\n")
        if e["place"]:
            lines.append(f"LOCATION:{escape(e['place'])}\r\n")
        if rid is None:
            lines.extend(r + "\r\n" for r in e["rules"])
        lines.append("END:VEVENT\r\n")
    lines.append("END:VCALENDAR\r\n")
    return "".join(lines)


def add_rows(db, cal, e):
    flags = (8 if e["allDay"] else 0) | (4 if e["place"] else 0)
    if e["rules"]:
        flags |= 16 | (32 if e["overrides"] else 0)
    rows = [(None, e["start"], e["end"], e["title"], flags)]
    rows += [(s, s + timedelta(hours=1), t, e["title"] + " (moved)", 4 if e["place"] else 0)
             for s, t in e["overrides"]]
    for rid, start, end, title, f in rows:
        s, s_tz = stored(start, e["zone"], e["allDay"])
        t, t_tz = stored(end, e["zone"], e["allDay"])
        r, r_tz = stored(rid, e["zone"], e["allDay"]) if rid is not None else (None, None)
        db.execute("INSERT INTO cal_events (cal_id, id, time_created, last_modified, title, flags,"
                   " event_start, event_end, event_stamp, event_start_tz, event_end_tz,"
                   " recurrence_id, recurrence_id_tz) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)",
                   (cal, e["uid"], s, s, title, f, s, t, s, s_tz, t_tz, r, r_tz))
        if e["place"]:
            db.execute("INSERT INTO cal_properties (item_id, key, value, recurrence_id,"
                       " recurrence_id_tz, cal_id) VALUES (?, 'LOCATION', ?, ?, ?, ?)",
                       (e["uid"], e["place"], r, r_tz, cal))
    for rule in e["rules"]:
        db.execute("INSERT INTO cal_recurrence (item_id, cal_id, icalString) VALUES (?,?,?)",
                   (e["uid"], cal, rule + "\n"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--events", type=int, default=10000)
    parser.add_argument("--seed", type=int, default=22)
    parser.add_argument("--floating", type=float, default=0.05, help="share of floating times")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    base = os.path.join(args.dir, ".thunderbird")
    profile = os.path.join(base, "bench.default-release")
    data = os.path.join(profile, "calendar-data")
    os.makedirs(data, exist_ok=True)
    with open(os.path.join(base, "installs.ini"), "w") as f:
        f.write("[BENCH]\nDefault=bench.default-release\nLocked=1\n")
    prefs = ['user_pref("calendar.list.sortOrder", "%s");' % " ".join(c[0] for c in CALENDARS)]
    for uuid, name, kind, _ in CALENDARS:
        key = "calendar.registry." + uuid
        prefs += [f'user_pref("{key}.name", "{name}");', f'user_pref("{key}.type", "{kind}");',
                  f'user_pref("{key}.color", "#3a87ad");']
        if kind == "caldav":
            prefs += [f'user_pref("{key}.uri", "https://dav.example.org/cal/");',
                      f'user_pref("{key}.cache.enabled", true);']
    with open(os.path.join(profile, "prefs.js"), "w") as f:
        f.write("// Mozilla User Preferences\n" + "\n".join(prefs) + "\n")

    real = sqlite3.connect(REAL)
    schema = [sql for (sql,) in real.execute(
        "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type = 'index', rowid")]
    version = real.execute("SELECT version FROM cal_calendar_schema_version").fetchone()[0]
    dbs = {}
    for uuid, name, _, file in CALENDARS:
        path = os.path.join(data, file)
        if os.path.exists(path):
            os.remove(path)
        db = sqlite3.connect(path)
        for sql in schema:
            db.execute(sql)
        db.execute("INSERT INTO cal_calendar_schema_version VALUES (?)", (version,))
        dbs[uuid] = db
        os.makedirs(os.path.join(args.dir, "data", "calendars", "tb", name), exist_ok=True)
    for n in range(args.events):
        uuid, name, _, _ = CALENDARS[0] if rng.random() < 0.7 else CALENDARS[1]
        e = make_event(rng, f"bench-{n}@velkor", args.floating)
        add_rows(dbs[uuid], uuid, e)
        with open(os.path.join(args.dir, "data", "calendars", "tb", name, f"{n}.ics"), "w",
                  newline="") as f:
            f.write(ics_text(e))
    for db in dbs.values():
        db.commit()
        db.execute("PRAGMA journal_mode=WAL")
        db.close()


if __name__ == "__main__":
    main()
