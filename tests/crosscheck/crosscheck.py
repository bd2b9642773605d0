#!/usr/bin/env python3
"""Cross-check of `velkor-calendar events` against python3-recurring-ical-events.

Generates a store of calendar files (recurrence rules, EXDATE, RDATE, RECURRENCE-ID overrides,
several zones, floating and all-day events) from a fixed seed, asks the program for the events of
a few windows under a few TZ settings, expands the same files with recurring_ical_events and
compares the occurrences: calendar, title, local start and end stamps, all-day flag, location.

Where the two differ by a choice the program makes on purpose (README lists them), the expected
side is normalized; every other difference is printed and makes the exit status 1.

usage: crosscheck.py BINARY [--seed N] [--files N] [--keep DIR]
"""

import argparse
import collections
import datetime as dt
import json
import os
import random
import subprocess
import sys
import tempfile
import zoneinfo

import icalendar
import recurring_ical_events

ZONES = ["Europe/Berlin", "America/New_York", "Asia/Kolkata", "Australia/Sydney"]
CALENDARS = ["alpha", "beta", "gamma"]
SINGLE = "single.ics"
# Windows chosen around clock changes in Europe, North America and Australia, a year's end, and
# one longer than four years.
WINDOWS = [("2026-03-23", "2026-04-06"), ("2026-10-20", "2026-11-10"),
           ("2025-12-25", "2026-01-08"), ("2024-01-01", "2028-01-05")]
RUN_ZONES = ["Europe/Berlin", "America/New_York", "Australia/Sydney"]
LONGEST = dt.timedelta(days=1461)
UTC = dt.timezone.utc


def change_days(name):
    """The days of 2024-2027 on which the clock of zone `name` changes."""
    zone, days = zoneinfo.ZoneInfo(name), []
    for n in range(4 * 366):
        day = dt.date(2024, 1, 1) + dt.timedelta(days=n)
        noon = dt.datetime.combine(day, dt.time(12), zone)
        if noon.utcoffset() != (noon - dt.timedelta(days=1)).utcoffset():
            days.append(day)
    return days


CHANGE_DAYS = {name: days for name in set(ZONES + RUN_ZONES) if (days := change_days(name))}


def esc(text):
    return text.replace("\\", "\\\\").replace(";", "\\;").replace(",", "\\,")


class Generator:
    """Random but reproducible iCalendar events."""

    def __init__(self, seed):
        self.r = random.Random(seed)
        self.uid = 0

    def start(self, frame):
        day = dt.date(2024, 6, 1) + dt.timedelta(days=self.r.randrange(0, 3 * 365))
        # Hours 01-03 hold the clock changes of every zone used here: they are drawn three times
        # as often, and one start in five falls in them within days before a change of its zone
        # (of a zone the store is read in, when floating), so that rules step through gaps and
        # overlaps.
        hour = self.r.choice(list(range(24)) + [1, 2, 3] * 2)
        if self.r.random() < 0.2:
            days = CHANGE_DAYS.get(frame) or CHANGE_DAYS[self.r.choice(RUN_ZONES)]
            day = self.r.choice(days) - dt.timedelta(days=self.r.randint(0, 3))
            hour = self.r.choice([1, 2, 3])
        return dt.datetime.combine(day, dt.time(hour, self.r.choice([0, 15, 30, 45])))

    def frame(self):
        return self.r.choice(ZONES + ["UTC", "floating", "date", "date"])

    @staticmethod
    def stamp(name, when, frame):
        if frame == "date":
            return f"{name};VALUE=DATE:{when:%Y%m%d}"
        if frame == "UTC":
            return f"{name}:{when:%Y%m%dT%H%M%S}Z"
        if frame == "floating":
            return f"{name}:{when:%Y%m%dT%H%M%S}"
        return f"{name};TZID={frame}:{when:%Y%m%dT%H%M%S}"

    def event(self):
        """One master event, possibly recurring, and its overrides, as iCalendar text."""
        r = self.r
        self.uid += 1
        uid = f"cross-{self.uid}@velkor"
        frame = self.frame()
        start = self.start(frame)
        if frame == "date":
            start = dt.datetime.combine(start.date(), dt.time())
        lines = [f"UID:{uid}", "DTSTAMP:20260101T000000Z", self.stamp("DTSTART", start, frame)]
        title = r.choice(["Standup", "Review, weekly", "Lunch; team", "Zahnarzt", "日本語 会議",
                          "Back\\slash"])
        lines.append(f"SUMMARY:{esc(title)} {self.uid}")
        if r.random() < 0.4:
            lines.append(f"LOCATION:{esc(r.choice(['Room 1', 'Café, Berlin', '']))}")

        step = None
        if frame == "date":
            kind = r.random()
            if kind < 0.5:
                lines.append(self.stamp("DTEND", start + dt.timedelta(days=r.randint(1, 3)), frame))
            elif kind < 0.7:
                lines.append(f"DURATION:P{r.randint(1, 2)}D")
        else:
            kind = r.random()
            minutes = r.choice([15, 30, 60, 90, 240, 60 * 26])
            if kind < 0.4:
                lines.append(self.stamp("DTEND", start + dt.timedelta(minutes=minutes), frame))
            elif kind < 0.5 and frame in ZONES:
                # The end in another zone: the same instant written on another clock.
                other = r.choice(ZONES)
                end = (start.replace(tzinfo=zoneinfo.ZoneInfo(frame))
                       + dt.timedelta(minutes=minutes)).astimezone(zoneinfo.ZoneInfo(other))
                lines.append(self.stamp("DTEND", end.replace(tzinfo=None), other))
            elif kind < 0.85:
                lines.append(f"DURATION:PT{minutes}M")
            # else: no end, an instant

        overrides = []
        if r.random() < 0.65:
            freq = r.choice(["DAILY", "WEEKLY", "WEEKLY", "MONTHLY", "YEARLY"])
            interval = r.randint(1, 3)
            rule = f"RRULE:FREQ={freq};INTERVAL={interval}"
            simple = True
            if freq == "WEEKLY" and r.random() < 0.3:
                rule += ";BYDAY=" + ",".join(sorted(r.sample(["MO", "TU", "WE", "TH", "FR"], 2)))
                simple = False
            elif freq == "MONTHLY" and r.random() < 0.5:
                rule += r.choice([";BYMONTHDAY=31", ";BYMONTHDAY=-1", ";BYDAY=-1FR",
                                  ";BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1"])
            elif freq == "YEARLY" and r.random() < 0.3:
                rule += ";BYMONTH=2;BYMONTHDAY=29"
            end = r.random()
            if end < 0.3:
                rule += f";COUNT={r.randint(2, 40)}"
            elif end < 0.55:
                until = start + dt.timedelta(days=r.randint(10, 500))
                rule += (f";UNTIL={until:%Y%m%d}" if frame == "date"
                         else f";UNTIL={until:%Y%m%dT%H%M%S}Z" if frame != "floating"
                         else f";UNTIL={until:%Y%m%dT%H%M%S}")
            lines.append(rule)
            if simple and freq in ("DAILY", "WEEKLY"):
                step = dt.timedelta(days=interval * (1 if freq == "DAILY" else 7))
            if step is not None:
                for _ in range(r.randint(0, 2)):
                    lines.append(self.stamp("EXDATE", start + step * r.randint(1, 60), frame))
                if r.random() < 0.5:
                    n = r.randint(1, 60)
                    overrides.append((self.stamp("RECURRENCE-ID", start + step * n, frame),
                                      start + step * n + dt.timedelta(
                                          days=r.choice([0, 1, -2, 30]),
                                          hours=0 if frame == "date" else r.choice([0, 2, 5]))))
            if r.random() < 0.3:
                extra = start + dt.timedelta(days=r.randint(1, 400), hours=r.choice([0, 3]))
                if frame == "date":
                    extra = dt.datetime.combine(extra.date(), dt.time())
                lines.append(self.stamp("RDATE", extra, frame))

        text = "BEGIN:VEVENT\r\n" + "\r\n".join(lines) + "\r\nEND:VEVENT\r\n"
        for rid, moved in overrides:
            text += ("BEGIN:VEVENT\r\n" + f"UID:{uid}\r\nDTSTAMP:20260101T000000Z\r\n{rid}\r\n"
                     + self.stamp("DTSTART", moved, frame) + "\r\n"
                     + (self.stamp("DTEND", moved + dt.timedelta(days=1), frame) if frame == "date"
                        else self.stamp("DTEND", moved + dt.timedelta(minutes=45), frame)) + "\r\n"
                     + f"SUMMARY:moved {self.uid}\r\nLOCATION:elsewhere\r\nEND:VEVENT\r\n")
        return text


def calendar_text(events):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor crosscheck//EN\r\n"
            + "".join(events) + "END:VCALENDAR\r\n")


def write_store(root, seed, files):
    gen = Generator(seed)
    written = []
    for cal in CALENDARS:
        os.makedirs(os.path.join(root, "calendars", cal))
        for n in range(files):
            path = os.path.join(root, "calendars", cal, f"{n:04d}.ics")
            events = [gen.event() for _ in range(gen.r.choice([1, 1, 1, 2, 3]))]
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(calendar_text(events))
            written.append((cal, path))
    path = os.path.join(root, "calendars", SINGLE)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(calendar_text([gen.event() for _ in range(files)]))
    written.append((SINGLE, path))
    return written


def local_midnight(day, zone):
    return dt.datetime.combine(dt.date.fromisoformat(day), dt.time(), zone)


def instant(value, zone):
    """The aware datetime of a DTSTART/DTEND value; dates and floating times on the local clock. A
    wall time its zone's clock passes twice is the first of the two (the library, through pytz,
    takes the second)."""
    if isinstance(value, dt.datetime):
        if value.tzinfo is None:
            return value.replace(tzinfo=zone)
        name = getattr(value.tzinfo, "zone", None)
        return value.replace(tzinfo=zoneinfo.ZoneInfo(name)) if name else value
    return dt.datetime.combine(value, dt.time(), zone)


def stamp(when, zone):
    # Through UTC, so that a wall time the clock skips is written as the instant it reads as.
    return when.astimezone(UTC).astimezone(zone).strftime("%Y-%m-%dT%H:%M")


def exact_length(c, zone):
    """How long a timed VEVENT lasts in exact time (through UTC: aware times of one zone subtract
    as wall times)."""
    if "DTEND" in c:
        return (instant(c["DTEND"].dt, zone).astimezone(UTC)
                - instant(c["DTSTART"].dt, zone).astimezone(UTC))
    return c["DURATION"].dt if "DURATION" in c else dt.timedelta(0)


def masters(ics, zone):
    """Per UID: the instants its master's EXDATEs remove, and the exact length of its first
    occurrence."""
    removed, lengths = collections.defaultdict(set), {}
    for c in ics.walk("VEVENT"):
        if "RECURRENCE-ID" in c:
            continue
        uid = str(c.get("UID"))
        exdates = c.get("EXDATE", [])
        for group in exdates if isinstance(exdates, list) else [exdates]:
            removed[uid].update(instant(d.dt, zone) for d in group.dts)
        if isinstance(c["DTSTART"].dt, dt.datetime):
            lengths[uid] = exact_length(c, zone)
    return removed, lengths


def expected(files, first, last, zone):
    window_start = local_midnight(first, zone)
    window_end = min(local_midnight(last, zone), window_start + LONGEST)
    wide = (window_start - dt.timedelta(days=3)).replace(tzinfo=None)
    wide_end = (window_end + dt.timedelta(days=3)).replace(tzinfo=None)
    found = collections.Counter()
    seen = set()
    for cal, path in files:
        with open(path, "rb") as f:
            ics = icalendar.Calendar.from_ical(f.read())
        removed, lengths = masters(ics, zone)
        for e in recurring_ical_events.of(ics).between(wide, wide_end):
            uid = str(e.get("UID"))
            # An override of an instance the master's EXDATE removes stays removed.
            if "RECURRENCE-ID" in e and instant(e["RECURRENCE-ID"].dt, zone) in removed[uid]:
                continue
            s = e["DTSTART"].dt
            all_day = not isinstance(s, dt.datetime)
            end_value = e["DTEND"].dt if "DTEND" in e else s
            if all_day and end_value == s:
                end_value = s + dt.timedelta(days=1)
            start_at, end_at = instant(s, zone), instant(end_value, zone)
            if not all_day:
                # Every occurrence lasts as long as the first, in exact time (RFC 5545 3.8.5.3);
                # the library adds the length on the wall clock, an hour off across a clock
                # change. (Timed events here get DURATION in minutes only, no nominal days.)
                exact = exact_length(e, zone) if "RECURRENCE-ID" in e else lengths[uid]
                end_at = start_at.astimezone(UTC) + exact
            # An instant that both the rule and an RDATE give is one occurrence.
            occurrence = (path, uid, "RECURRENCE-ID" in e and e.get("SUMMARY"),
                          start_at)
            if occurrence in seen:
                continue
            seen.add(occurrence)
            if start_at == end_at:
                inside = window_start <= start_at < window_end
            else:
                inside = start_at < window_end and end_at > window_start
            if not inside:
                continue
            location = str(e["LOCATION"]) if "LOCATION" in e else None
            found[(cal, str(e.get("SUMMARY", "")), stamp(start_at, zone), stamp(end_at, zone),
                   all_day, location or None)] += 1
    return found


def actual(binary, home, first, last, zone):
    ids = ",".join(CALENDARS + [SINGLE])
    env = dict(os.environ, XDG_DATA_HOME=home, TZ=zone)
    run = subprocess.run([binary, "events", first, last, ids], env=env, capture_output=True,
                         check=False)
    if run.returncode != 0 or run.stderr:
        raise SystemExit(f"events {first} {last} under {zone}: status {run.returncode}, "
                         f"stderr {run.stderr[:200]!r}")
    found = collections.Counter()
    for e in json.loads(run.stdout):
        found[(e["calendar"], e["title"], e["start"], e["end"], e["allDay"],
               e.get("location"))] += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary")
    parser.add_argument("--seed", type=int, default=20260306)
    parser.add_argument("--files", type=int, default=60, help="files per calendar")
    parser.add_argument("--keep", help="write the store here and keep it")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="velkor-crosscheck-") as scratch:
        home = args.keep or scratch
        files = write_store(home, args.seed, args.files)
        compared = 0
        differences = 0
        for zone_name in RUN_ZONES:
            zone = zoneinfo.ZoneInfo(zone_name)
            for first, last in WINDOWS:
                want = expected(files, first, last, zone)
                got = actual(args.binary, home, first, last, zone_name)
                compared += sum((want & got).values())
                for label, extra in (("only in the library", want - got),
                                     ("only in velkor-calendar", got - want)):
                    for key, n in sorted(extra.items(), key=str):
                        differences += n
                        print(f"{zone_name} {first}..{last} {label}: {key}")
        print(f"crosscheck: {len(files)} files, {len(RUN_ZONES) * len(WINDOWS)} queries, "
              f"{compared} occurrences agree, {differences} differences")
        return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
