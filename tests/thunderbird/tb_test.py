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

In every run nothing may reach standard error and the profile's files must stay as they were."""
import atexit, collections, hashlib, json, os, shutil, sqlite3, subprocess, sys, tempfile

import tbprofile

binary, kept = sys.argv[1], "--kept" in sys.argv[2:]
failures, compared, differences = [], 0, 0


def run(home, zone, *args):
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "TZ": zone,
           "XDG_DATA_HOME": os.path.join(home, "no-file-store")}
    p = subprocess.run([binary, *args], capture_output=True, env=env, timeout=60)
    if p.stderr or p.returncode != 0:
        failures.append(f"{args} TZ={zone}: exit {p.returncode}, stderr {p.stderr[:300]!r}")
    return p.stdout.decode("utf-8", "replace")


def check_listing(home, ids, when):
    """Thunderbird's enabled calendars with data on disk, as it keeps them; no other of its ids."""
    want = sorted(({"account": "Thunderbird", "color": tbprofile.LOOKS[role]["color"],
                    "id": "/thunderbird/" + ids[role], "kind": tbprofile.LOOKS[role]["kind"],
                    "title": tbprofile.LOOKS[role]["title"]} for role in ("local", "cached")),
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
    asked = ",".join("/thunderbird/" + ids[role] for role in ("local", "cached"))
    for (zone, start, end), want in lists.items():
        out = run(home, zone, "events", start, end, asked)
        try:
            got = collections.Counter(json.dumps(e, sort_keys=True) for e in json.loads(out))
        except (ValueError, TypeError):
            got = collections.Counter([out])
        expected = collections.Counter(json.dumps(e, sort_keys=True) for e in want)
        compared += sum(expected.values())
        if got != expected:
            differences += sum(((got - expected) + (expected - got)).values())
            failures.append(f"{when}: events {start} {end} TZ={zone}\n"
                            f"  program only: {sorted((got - expected).elements())}\n"
                            f"  Thunderbird only: {sorted((expected - got).elements())}")


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
    print("while Thunderbird runs:", wal_state(home, tb.profile_dir()))
    check(home, ids, lists, "while Thunderbird runs")
    tb.quit()
    check(home, ids, lists, "after Thunderbird quit")
    if failures:
        log.close()
        print("Thunderbird's log, last lines:\n" + "".join(open(log.name).readlines()[-15:]))

windows = len(lists)
print(f"{windows} windows ({len(tbprofile.ZONES)} zones), {compared} occurrences compared, "
      f"{differences} differences")
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures or compared == 0 else 0)
