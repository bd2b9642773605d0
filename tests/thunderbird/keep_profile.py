#!/usr/bin/env python3
"""Remakes the kept profile (profile/, a HOME layout) with Thunderbird and Radicale on PATH: the
profile tbprofile.make() writes, trimmed to the files a reader of Thunderbird's calendars opens,
and beside it occurrences.json, Thunderbird's own occurrence lists for every window and zone,
written as the program writes events. Usage: keep_profile.py [DEST] (default: profile/ here).
keep_profile.py --lists: only asks Thunderbird again for the lists over the kept profile (a copy
of it), so that the profile and its ids stay as they are.

The kept profile was made before the two floating events at 01:00 and 23:30, the offline changes
and the subscribed calendar were added to the source files; remaking it gives new ids, which the
store's tests (store_test.cc) name."""
import json, os, shutil, sys, tempfile

import tbprofile

lists_only = sys.argv[1:] == ["--lists"]
dest = os.path.join(tbprofile.HERE, "profile")
if len(sys.argv) > 1 and not lists_only:
    dest = os.path.abspath(sys.argv[1])
home = tempfile.mkdtemp(prefix="velkor-tb-")
try:
    with open(os.path.join(home, "log"), "w") as log:
        if lists_only:
            shutil.copytree(os.path.join(dest, ".thunderbird"), os.path.join(home, ".thunderbird"))
            ids = json.load(open(os.path.join(dest, "occurrences.json")))["calendars"]
            tb, server = tbprofile.reopen(home, tbprofile.ZONES[0], log), None
        else:
            tb, server, ids = tbprofile.make(home, tbprofile.ZONES[0], log)
        try:
            found = tbprofile.lists(tb.client, ids)
            tb.quit()
        finally:
            tb.kill()
            if server:
                server.kill()
                server.wait()
    if not lists_only:
        profile = os.path.relpath(tb.profile_dir(), home)
        shutil.rmtree(dest, ignore_errors=True)
        for name in [".thunderbird/installs.ini", ".thunderbird/profiles.ini",
                     f"{profile}/prefs.js", f"{profile}/calendar-data/local.sqlite",
                     f"{profile}/calendar-data/cache.sqlite"]:
            os.makedirs(os.path.dirname(os.path.join(dest, name)), exist_ok=True)
            shutil.copyfile(os.path.join(home, name), os.path.join(dest, name))
    with open(os.path.join(dest, "occurrences.json"), "w", encoding="utf-8") as f:
        json.dump({"calendars": ids,
                   "windows": [{"zone": zone, "from": start, "to": end, "events": events}
                               for (zone, start, end), events in found.items()]},
                  f, ensure_ascii=False, indent=1, sort_keys=True)
        f.write("\n")
    print(f"{dest}: {sum(len(e) for e in found.values())} occurrences in {len(found)} lists")
finally:
    shutil.rmtree(home, ignore_errors=True)
