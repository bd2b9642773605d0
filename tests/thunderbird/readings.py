"""Thunderbird's own readings (ical.js) that differ from the program's on purpose:

- a yearly rule from February 29 gives March 1 in common years; RFC 5545 3.3.10 skips the year;
- an instance lasts its first instance's length on the wall clock, so it ends an hour off when a
  clock change falls inside it; the program keeps the exact length (RFC 5545 3.8.5.3);
- after a restart, a start that Thunderbird keeps as UTC and that lies less than its zone's offset
  before a clock change is read back with the offset after the change (ical.js compares the UTC
  wall time with the change's local time), so the event and its instances stand an hour off. Seen
  in the kept lists, which Thunderbird gave over the kept profile after a restart.

The first and last are told by the events Thunderbird was given (events.ics, caldav.ics,
holidays.ics)."""
import datetime, re, zoneinfo

import tbprofile

HOUR = datetime.timedelta(hours=1)


def source_events():
    """(title, DTSTART line value) of every VEVENT Thunderbird was given, RRULE text beside."""
    for name in ("events.ics", "caldav.ics", "holidays.ics"):
        for block in re.findall(r"BEGIN:VEVENT\r\n.*?END:VEVENT\r\n", tbprofile.read(name), re.S):
            title = re.search(r"^SUMMARY:(.*?)\r$", block, re.M).group(1)
            yield title, re.search(r"^DTSTART(.*?)\r$", block, re.M).group(1), block


def read_back_off(dtstart):
    """Whether Thunderbird reads this zoned DTSTART back with the offset after a clock change."""
    m = re.fullmatch(r";TZID=([\w/]+):(\d{8}T\d{6})", dtstart)
    if not m:
        return False
    zone = zoneinfo.ZoneInfo(m.group(1))
    local = datetime.datetime.strptime(m.group(2), "%Y%m%dT%H%M%S").replace(tzinfo=zone)
    utc_wall = local.astimezone(datetime.timezone.utc).replace(tzinfo=zone)
    return utc_wall.utcoffset() != local.utcoffset()


LEAP = {t for t, start, block in source_events() if "0229" in start and "FREQ=YEARLY" in block}
OFF_AFTER_RESTART = {t for t, start, _ in source_events() if read_back_off(start)}


def at(stamp, zone=None, fold=0):
    day = datetime.datetime.fromisoformat(stamp)
    return day.replace(tzinfo=zoneinfo.ZoneInfo(zone), fold=fold) if zone else day


def alike(a, b, keys):
    return all(a.get(k) == b.get(k) for k in keys)


def set_apart(zone, window, program, thunderbird, counts):
    """Takes the occurrences these readings explain out of the unmatched lists of one window."""
    for e in list(thunderbird):
        day = at(e["start"])
        if e["title"] in LEAP and (day.month, day.day) == (3, 1) and day.year % 4 != 0:
            thunderbird.remove(e)
            counts["Feb 29 as Mar 1"] += 1
    for e in [e for e in thunderbird if e["title"] in OFF_AFTER_RESTART]:
        for p in [p for p in program if alike(p, e, ("calendar", "title", "location"))]:
            shift = [at(p[k]) - at(e[k]) for k in ("start", "end")]
            if shift[0] == shift[1] and abs(shift[0]) == HOUR:
                thunderbird.remove(e)
                program.remove(p)
                counts["an hour off after a restart"] += 1
                break
    # Those whose partner, an hour away, is outside the window.
    first, last = (at(day + "T00:00") for day in window)
    for side, shift in ((thunderbird, HOUR), (program, -HOUR)):
        for e in [e for e in side if e["title"] in OFF_AFTER_RESTART]:
            if at(e["start"]) + shift >= last or at(e["end"]) + shift <= first:
                side.remove(e)
                counts["an hour off after a restart"] += 1
    for e in [e for e in thunderbird if not e["allDay"]]:
        for p in [p for p in program if alike(p, e, ("calendar", "title", "start", "location"))]:
            change = at(p["start"], zone).utcoffset() - at(p["end"], zone, 1).utcoffset()
            if not p["allDay"] and change and at(e["end"]) - at(p["end"]) == change:
                thunderbird.remove(e)
                program.remove(p)
                counts["length on the wall clock"] += 1
                break
