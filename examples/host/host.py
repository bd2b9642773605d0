#!/usr/bin/env python3
"""A host application's side of velkor-calendar: spawn it, read its one line of JSON and its exit
status. Lists the calendars, then a week of events of all of them.

    python3 host.py [PROGRAM [FROM TO]]    PROGRAM defaults to velkor-calendar on PATH, FROM to
                                           today, TO to a week after FROM (days as yyyy-MM-dd)
"""
import datetime
import json
import subprocess
import sys


def run(program, *args):
    """(exit status, JSON value or None). Status 0 is the result, 2 the access report, 1 a
    command line the program refused (its usage line is on standard error)."""
    # `request` may wait up to 300 s for the user's answer; nothing else takes long.
    done = subprocess.run([program, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=330, check=False)
    if done.returncode in (0, 2):
        return done.returncode, json.loads(done.stdout)
    sys.stderr.write(done.stderr.decode("utf-8", "replace"))
    return done.returncode, None


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "velkor-calendar"
    start = datetime.date.today().isoformat()
    end = (datetime.date.today() + datetime.timedelta(days=7)).isoformat()
    if len(sys.argv) > 3:
        start, end = sys.argv[2], sys.argv[3]

    status, calendars = run(program, "calendars")
    if status == 2:
        print(f"no calendar access ({calendars['access']}); `{program} request` asks for it")
        return 2
    if status != 0:
        return status
    titles = {c["id"]: c["title"] for c in calendars}
    for c in calendars:
        print(f"calendar {c['title']} ({c['account'] or 'no account'}, {c['kind']})")
    if not calendars:
        return 0

    status, events = run(program, "events", start, end, ",".join(titles))
    if status != 0:
        return status
    for e in events:
        when = e["start"][:10] if e["allDay"] else f"{e['start']}-{e['end'][11:]}"
        where = f" @ {e['location']}" if "location" in e else ""
        print(f"{when} {e['title']}{where} [{titles[e['calendar']]}]")
    return 0


if __name__ == "__main__":
    sys.exit(main())
