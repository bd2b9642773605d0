#!/usr/bin/env python3
"""Writes a synthetic calendar store like one synced from CalDAV servers.

4 accounts x 5 calendars x 1,000 events (--scale multiplies the events per calendar), one VEVENT per
file with the VTIMEZONE block a server export carries; about 10% weekly recurring (half with an end),
6% all-day, spread over 2024-2028. The same seed always gives the same bytes.

With --single-file N it writes instead one calendar file, DIR/calendars/export.ics, holding N events
of the same kinds in one VCALENDAR with one VTIMEZONE (Europe/Berlin), as a calendar application
exports them.

With --daily N it writes instead N files of endless daily events (4 calendars of one account, the
titles and places of the others, so that occurrences share texts): a four-year window holds
N x 1,461 occurrences, an answer of the largest size for N >= 343.

Usage: make_store.py DIR [--scale N] [--seed S] [--single-file N | --daily N]
DIR becomes the data home: the store is DIR/calendars.
"""
import argparse
import os
import random
from datetime import datetime, timedelta

ZONES = {
    "Europe/Berlin": ("+0100", "+0200", "CET", "CEST", "-1SU", "3", "10", "020000", "030000"),
    "America/New_York": ("-0500", "-0400", "EST", "EDT", "2SU", "3", "11", "020000", "020000"),
    "Europe/London": ("+0000", "+0100", "GMT", "BST", "-1SU", "3", "10", "010000", "020000"),
}
WORDS = ("Standup Review Planning Lunch Call Sync Retro Workshop Dentist Gym Dinner Flight "
         "Interview Demo Budget Offsite Training Café Überblick Réunion 会議").split()
PLACES = ("Room 1", "Room 2", "Berlin, Alexanderplatz", "Zoom", "Café Müller", "")


def vtimezone(tzid):
    std, dst, sname, dname, last, mstart, mend, tstart, tend = ZONES[tzid]
    end_day = last if tzid != "America/New_York" else "1SU"
    return (
        "BEGIN:VTIMEZONE\r\nTZID:{tz}\r\nX-LIC-LOCATION:{tz}\r\n"
        "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:{std}\r\nTZOFFSETTO:{dst}\r\nTZNAME:{dname}\r\n"
        "DTSTART:19700308T{ts}\r\nRRULE:FREQ=YEARLY;BYMONTH={ms};BYDAY={last}\r\nEND:DAYLIGHT\r\n"
        "BEGIN:STANDARD\r\nTZOFFSETFROM:{dst}\r\nTZOFFSETTO:{std}\r\nTZNAME:{sname}\r\n"
        "DTSTART:19701101T{te}\r\nRRULE:FREQ=YEARLY;BYMONTH={me};BYDAY={end_day}\r\nEND:STANDARD\r\n"
        "END:VTIMEZONE\r\n").format(tz=tzid, std=std, dst=dst, sname=sname, dname=dname, ts=tstart,
                                    te=tend, ms=mstart, me=mend, last=last, end_day=end_day)


def fold(line):
    out, data = [], line.encode()
    while len(data) > 75:
        cut = 75
        while cut > 0 and (data[cut] & 0xC0) == 0x80:
            cut -= 1
        out.append(data[:cut])
        data = b" " + data[cut:]
    out.append(data)
    return b"\r\n".join(out).decode() + "\r\n"


def escape(text):
    return text.replace("\\", "\\\\").replace(";", "\\;").replace(",", "\\,")


def event_file(rng, uid, zones=tuple(ZONES), words=25):
    base = datetime(2024, 1, 1) + timedelta(minutes=15 * rng.randrange(5 * 365 * 96))
    kind = rng.random()
    title = " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 3)))
    place = rng.choice(PLACES)
    stamp = "20240101T000000Z"
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//velkor bench//EN", "CALSCALE:GREGORIAN"]
    tzid = rng.choice(zones)
    body = ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:" + stamp]
    if kind < 0.06:
        day = base.date()
        body += ["DTSTART;VALUE=DATE:" + day.strftime("%Y%m%d"),
                 "DTEND;VALUE=DATE:" + (day + timedelta(days=rng.choice((1, 1, 1, 2, 3))))
                 .strftime("%Y%m%d")]
    else:
        start = base.replace(hour=rng.randrange(7, 20))
        end = start + timedelta(minutes=rng.choice((30, 45, 60, 90, 120)))
        body += ["DTSTART;TZID={}:{}".format(tzid, start.strftime("%Y%m%dT%H%M%S")),
                 "DTEND;TZID={}:{}".format(tzid, end.strftime("%Y%m%dT%H%M%S"))]
        if kind >= 0.90:
            rule = "RRULE:FREQ=WEEKLY"
            if rng.random() < 0.5:
                until = start + timedelta(weeks=rng.randrange(4, 120))
                rule += ";UNTIL=" + until.strftime("%Y%m%dT%H%M%SZ")
            body.append(rule)
            if rng.random() < 0.2:
                body.append("EXDATE;TZID={}:{}".format(
                    tzid, (start + timedelta(weeks=rng.randrange(1, 30))).strftime("%Y%m%dT%H%M%S")))
    body += ["SUMMARY:" + escape(title), "SEQUENCE:0", "STATUS:CONFIRMED",
             "DESCRIPTION:" + escape("Agenda: " + " ".join(rng.choice(WORDS) for _ in range(words)))]
    if place:
        body.append("LOCATION:" + escape(place))
    if zones != tuple(ZONES):
        # Exported: slimmer events, so that a million of them stay below the 256 MiB a file may have.
        return "".join(fold(l) for l in body + ["END:VEVENT"] if l != "STATUS:CONFIRMED")
    body += ["BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder", "TRIGGER:-PT15M",
             "END:VALARM", "END:VEVENT"]
    text = "".join(fold(l) for l in lines)
    if kind >= 0.06:
        text += vtimezone(tzid)
    text += "".join(fold(l) for l in body) + "END:VCALENDAR\r\n"
    return text


def daily_file(rng, uid):
    tzid = rng.choice(tuple(ZONES))
    start = datetime(2025, 1, 1, rng.randrange(7, 20), 15 * rng.randrange(4))
    end = start + timedelta(minutes=rng.choice((15, 30, 60)))
    body = ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:20240101T000000Z",
            "DTSTART;TZID={}:{}".format(tzid, start.strftime("%Y%m%dT%H%M%S")),
            "DTEND;TZID={}:{}".format(tzid, end.strftime("%Y%m%dT%H%M%S")), "RRULE:FREQ=DAILY",
            "SUMMARY:" + escape(" ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 2))))]
    place = rng.choice(PLACES)
    if place:
        body.append("LOCATION:" + escape(place))
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor bench//EN\r\n" + vtimezone(tzid) +
            "".join(fold(l) for l in body) + "END:VEVENT\r\nEND:VCALENDAR\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--scale", type=int, default=1)
    parser.add_argument("--seed", type=int, default=4)
    parser.add_argument("--single-file", type=int, default=0, metavar="N")
    parser.add_argument("--daily", type=int, default=0, metavar="N")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    root = os.path.join(args.dir, "calendars")
    if args.daily:
        for e in range(args.daily):
            cal = os.path.join(root, "busy", "calendar{}".format(e % 4 + 1))
            os.makedirs(cal, exist_ok=True)
            with open(os.path.join(cal, "{:04d}@bench.ics".format(e)), "w", newline="") as f:
                f.write(daily_file(rng, "{:04d}@bench".format(e)))
        return
    if args.single_file:
        os.makedirs(root, exist_ok=True)
        zone = ("Europe/Berlin",)
        with open(os.path.join(root, "export.ics"), "w", newline="") as f:
            f.write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//velkor bench//EN\r\n"
                    "X-WR-CALNAME:Export\r\n" + vtimezone(zone[0]))
            for e in range(args.single_file):
                uid = "{:08x}-{:06x}@bench".format(rng.getrandbits(32), e)
                f.write(event_file(rng, uid, zone, words=3))
            f.write("END:VCALENDAR\r\n")
        return
    for a in range(4):
        account = os.path.join(root, "account{}".format(a + 1))
        for c in range(5):
            cal = os.path.join(account, "calendar{}".format(c + 1))
            os.makedirs(cal, exist_ok=True)
            with open(os.path.join(cal, "displayname"), "w") as f:
                f.write("Calendar {}.{}\n".format(a + 1, c + 1))
            for e in range(1000 * args.scale):
                uid = "{:08x}-{:04x}-{:04x}@bench".format(rng.getrandbits(32), a * 5 + c, e)
                with open(os.path.join(cal, uid + ".ics"), "w", newline="") as f:
                    f.write(event_file(rng, uid))


if __name__ == "__main__":
    main()
