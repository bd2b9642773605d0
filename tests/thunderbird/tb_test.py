#!/usr/bin/env python3
"""The program against Thunderbird's own occurrence lists.

tb_test.py BINARY: in a temporary HOME, Thunderbird (headless, over Marionette) makes a profile
with a local and a cached CalDAV calendar on a local Radicale, besides a disabled and an uncached
one (tbprofile.py), and lists the occurrences of every window in two zones. The program's
`calendars` must list the two readable ones as Thunderbird keeps them and leave the others out,
and its `events` must answer Thunderbird's lists: once while Thunderbird runs (holding the
databases locked, recent writes in their -wal files) and once after it has quit.

tb_test.py BINARY --kept: the same over the profile kept in profile/, against the lists kept in
profile/occurrences.json (no Thunderbird needed).

In every run nothing may reach standard error and the profile's files must stay as they were.
VELKOR_WRAPPER, when set, is a command line put before each run of the program (valgrind).

Thunderbird's own readings that differ from the program's on purpose (readings.py) are counted
apart, not as differences."""
import atexit, collections, hashlib, json, os, shlex, shutil, signal, sqlite3, subprocess, sys
import tempfile, time

import readings
import tbprofile

binary, kept = sys.argv[1], "--kept" in sys.argv[2:]
failures, compared, differences = [], 0, 0
set_apart = collections.Counter()


def run(home, zone, *args):
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "TZ": zone,
           "XDG_DATA_HOME": os.path.join(home, "no-file-store")}
    wrapper = shlex.split(os.environ.get("VELKOR_WRAPPER", ""))
    p = subprocess.run([*wrapper, binary, *args], capture_output=True, env=env, timeout=60)
    if p.stderr or p.returncode != 0:
        failures.append(f"{args} TZ={zone}: exit {p.returncode}, stderr {p.stderr[:300]!r}")
    return p.stdout.decode("utf-8", "replace")


def check_listing(home, ids, when):
    """Thunderbird's enabled calendars with data on disk, as it keeps them; no other of its ids."""
    looks = tbprofile.LOOKS
    want = sorted(({"account": "Thunderbird", "color": looks[role]["color"],
                    "id": "/thunderbird/" + ids[role], "kind": looks[role]["kind"],
                    "title": looks[role]["title"]} for role in tbprofile.LISTED if role in ids),
                  key=lambda c: c["title"])
    out = run(home, tbprofile.ZONES[0], "calendars")
    try:
        got = [c for c in json.loads(out) if c["id"].startswith("/thunderbird/")]
    except (ValueError, TypeError, KeyError):
        got = out
    if got != want:
        failures.append(f"{when}: calendars {got}, expected {want}")


def check_events(home, ids, lists, when):
    """Every window in every zone: the program's events as a multiset equal Thunderbird's."""
    global compared, differences
    asked = ",".join("/thunderbird/" + ids[role] for role in tbprofile.LISTED if role in ids)
    for (zone, start, end), want in lists.items():
        out = run(home, zone, "events", start, end, asked)
        try:
            answer = json.loads(out)
            program = [e for e in answer if isinstance(e, dict)] if isinstance(answer, list) else []
        except ValueError:
            answer, program = None, []
        if not isinstance(answer, list) or len(program) != len(answer):
            failures.append(f"{when}: events {start} {end} TZ={zone}: not a list of events: {out}")
        compared += len(want)
        # What one side has and the other lacks, then the deliberate readings set apart.
        got, expected = (collections.Counter(json.dumps(e, sort_keys=True) for e in events)
                         for events in (program, want))
        program_only = [json.loads(e) for e in (got - expected).elements()]
        thunderbird_only = [json.loads(e) for e in (expected - got).elements()]
        readings.set_apart(zone, (start, end), program_only, thunderbird_only, set_apart)
        if program_only or thunderbird_only:
            differences += len(program_only) + len(thunderbird_only)
            failures.append(f"{when}: events {start} {end} TZ={zone}\n"
                            f"  program only: {program_only}\n"
                            f"  Thunderbird only: {thunderbird_only}")


def check_reads_during_writes(home, tb, ids):
    """Thunderbird adds events one at a time while the program answers the year again and again:
    every answer well-formed, and each calendar in it either whole (every event there was before
    and every one written before the run began, no other but written ones) or, when its database
    kept changing while it was copied, left out altogether (counted); once the writes are done,
    Thunderbird and the program agree again."""
    zone, start, end, count = tbprofile.ZONES[0], "2026-01-01", "2027-01-01", 200
    asked = ",".join("/thunderbird/" + ids[role] for role in tbprofile.LISTED)
    # The program's answer before the writes (the year was compared with Thunderbird's above).
    before = collections.Counter(json.dumps(e, sort_keys=True)
                                 for e in json.loads(run(home, zone, "events", start, end, asked)))
    tb.client.script(open(os.path.join(tbprofile.HERE, "writer.js")).read(), ids["local"], count,
                     "velkor.test.written")
    runs, states, left_out, written = 0, set(), collections.Counter(), 0
    while written not in (count, -1) and not failures:
        written = tb.client.script("return Services.prefs.getIntPref(arguments[0]);",
                                   "velkor.test.written")
        out = run(home, zone, "events", start, end, asked)
        runs += 1
        try:
            got = collections.Counter(json.dumps(e, sort_keys=True) for e in json.loads(out))
            present = {json.loads(e)["calendar"] for e in got}
        except (ValueError, TypeError, AttributeError, KeyError):
            failures.append(f"during writes: not a list of events: {out[:300]}")
            break
        missing = before - got
        for calendar in {json.loads(e)["calendar"] for e in missing} - present:
            left_out[calendar] += 1
            missing = collections.Counter({e: n for e, n in missing.items()
                                           if json.loads(e)["calendar"] != calendar})
        extra = [json.loads(e)["title"] for e in (got - before).elements()]
        if "/thunderbird/" + ids["local"] in present:
            states.add(len(extra))
            # Written before this run began, so in what it read.
            missing.update(f"Written during reads {n}" for n in range(written)
                           if f"Written during reads {n}" not in extra)
        if missing or any(not t.startswith("Written during reads ") for t in extra):
            failures.append(f"during writes, answer {runs}: lost {len(missing)}: "
                            f"{sorted(missing.elements())[:3]}, extra {len(extra)}: {extra[:3]}")
    for _ in range(240):  # after a failure above, the writes still end before the lists are taken
        if written in (count, -1):
            break
        time.sleep(0.25)
        written = tb.client.script("return Services.prefs.getIntPref(arguments[0]);",
                                   "velkor.test.written")
    if written != count:
        failures.append(f"Thunderbird wrote {written} of {count} events")
    if len(states) < 2 and not failures:
        failures.append(f"the reads did not meet the writes: {runs} answers, states {states}")
    answer = tb.client.script(open(os.path.join(tbprofile.HERE, "occurrences.js")).read(), zone,
                              [ids[role] for role in tbprofile.LISTED], [(start, end)])
    check_events(home, ids, {(zone, start, end): answer[0]}, "after the writes")
    print(f"while Thunderbird wrote {count} events: {runs} answers of the year, "
          f"{len(states)} different numbers of written events seen, calendars left out of an "
          f"answer: {sum(left_out.values())} times; then {wal_state(home, tb.profile_dir())}")


def fingerprint(home):
    """Every entry below .thunderbird with its mode and the digest of its content."""
    seen = {}
    for folder, dirs, files in os.walk(os.path.join(home, ".thunderbird")):
        for name in dirs + files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            digest = ""
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            seen[path] = (st.st_mode, digest)
    return seen


def check(home, ids, lists, when):
    """Listing and events; once Thunderbird is gone, the profile exactly as it was."""
    before = None if when.startswith("while") else fingerprint(home)
    check_listing(home, ids, when)
    check_events(home, ids, lists, when)
    after = None if before is None else fingerprint(home)
    if before != after:
        changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
        failures.append(f"{when}: the profile changed: {changed}")


def wal_state(home, profile):
    """What a reader meets while Thunderbird runs: the -wal sizes, and a plain read-only open."""
    data = os.path.join(profile, "calendar-data")
    sizes = {n: os.path.getsize(os.path.join(data, n)) for n in sorted(os.listdir(data))
             if n.endswith("-wal")}
    try:
        with sqlite3.connect(f"file:{data}/local.sqlite?mode=ro", uri=True, timeout=0) as db:
            db.execute("select count(*) from cal_events").fetchone()
        opened = "opens"
    except sqlite3.Error as e:
        opened = str(e)
    return f"-wal bytes {sizes}; a plain read-only open of local.sqlite: {opened}"


def give_up(*_):
    raise TimeoutError("the run took over 240 s")


# Ending before CTest's time-out lets the handlers below stop Thunderbird and Radicale by their pids
# and remove the temporary HOME, which a kill from outside would leave behind.
signal.signal(signal.SIGALRM, give_up)
signal.signal(signal.SIGTERM, give_up)
if not kept:
    signal.alarm(240)
home = tempfile.mkdtemp(prefix="velkor-tb-")
atexit.register(shutil.rmtree, home, True)
if kept:
    shutil.copytree(os.path.join(tbprofile.HERE, "profile", ".thunderbird"),
                    os.path.join(home, ".thunderbird"))
    kept_lists = json.load(open(os.path.join(tbprofile.HERE, "profile", "occurrences.json"),
                                encoding="utf-8"))
    ids = kept_lists["calendars"]
    lists = {(w["zone"], w["from"], w["to"]): w["events"] for w in kept_lists["windows"]}
    check(home, ids, lists, "kept profile")
else:
    log = open(os.path.join(home, "thunderbird.log"), "w")
    tb, server, ids = tbprofile.make(home, tbprofile.ZONES[0], log)
    atexit.register(server.wait)
    atexit.register(server.kill)
    atexit.register(tb.kill)
    lists = tbprofile.lists(tb.client, ids)
    # The offline changes must be in Thunderbird's own lists, or they would test nothing.
    titles = {e["title"] for events in lists.values() for e in events}
    if not {"Added while offline", "Offsite (moved offline)"} <= titles or "Release" in titles:
        failures.append(f"Thunderbird's lists miss the offline changes: {sorted(titles)}")
    print("while Thunderbird runs:", wal_state(home, tb.profile_dir()))
    check(home, ids, lists, "while Thunderbird runs")
    check_reads_during_writes(home, tb, ids)
    lists = tbprofile.lists(tb.client, ids)
    tb.quit()
    check(home, ids, lists, "after Thunderbird quit")
    cache = os.path.join(tb.profile_dir(), "calendar-data", "cache.sqlite")
    with sqlite3.connect(f"file:{cache}?mode=ro&immutable=1", uri=True) as db:
        journal = db.execute("select offline_journal, count(*) from cal_events group by 1")
        journal = journal.fetchall()
    print("after Thunderbird quit: cache rows by offline_journal", dict(journal))
    if failures:
        log.close()
        lines = [line for line in open(log.name, errors="replace")
                 if line.strip() and "gtk_" not in line.lower()]
        print("Thunderbird's log, last lines:\n" + "".join(lines[-15:]))

windows, zones = {w[1:] for w in lists}, {w[0] for w in lists}
print(f"{len(windows)} windows in {len(zones)} zones, {compared} occurrences compared, "
      f"{differences} differences; set apart as Thunderbird's own readings: {dict(set_apart)}")
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures or compared == 0 else 0)
