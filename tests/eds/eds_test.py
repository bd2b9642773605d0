#!/usr/bin/env python3
"""Whole-program runs over Evolution Data Server under a private session bus (run this through
dbus-run-session, with HOME and the XDG folders in a temporary directory).

The calendars of one-file calendar directories of the e2e cases are given both to the file store
and, as local calendar.ics files, to EDS: every `events` run of those cases must answer the same
from both (ids apart). Then the listing, a CalDAV calendar on a local Radicale (radicale on
PATH) and the fallbacks: a server that stops, a dead bus address and no bus at all answer from what
is there, with nothing on standard error."""
import atexit, json, os, re, shutil, socket, subprocess, sys, tempfile, time

binary, cases_dir = sys.argv[1], sys.argv[2]
home = os.environ["HOME"]
config, data = os.environ["XDG_CONFIG_HOME"], os.environ["XDG_DATA_HOME"]
failures = []


def run(*args, env=None):
    p = subprocess.run([binary, *args], capture_output=True, env=env, timeout=60)
    if p.stderr and p.returncode != 1:
        failures.append(f"{args}: stderr {p.stderr!r}")
    return p.returncode, p.stdout.decode("utf-8", "replace")


def source(uid, name, backend, color, parent="local-stub", extra=""):
    os.makedirs(f"{config}/evolution/sources", exist_ok=True)
    with open(f"{config}/evolution/sources/{uid}.source", "w") as f:
        f.write(f"[Data Source]\nDisplayName={name}\nEnabled=true\nParent={parent}\n\n"
                f"[Calendar]\nBackendName={backend}\nColor={color}\nSelected=true\n{extra}")


# One-file calendars of the cases, with the windows their runs ask for.
calendars, windows = {}, set()
# Read differently by EDS itself, which the program cannot undo: it keeps one master per UID and
# applies THISANDFUTURE when it loads a calendar.ics (recurrence_overrides), answers a zone name it
# knows with its built-in zone rather than the calendar's own VTIMEZONE (zones), and keeps no
# X-WR-TIMEZONE nor odd TZIDs (zones_names, calendar_zone), drops a LOCATION of blanks
# (events_sort), and answers none of the events of a calendar.ics holding two VCALENDARs
# (two_vcalendars).
unlike = {"recurrence_overrides.case", "zones.case", "zones_names.case", "calendar_zone.case",
          "events_sort.case", "two_vcalendars.case"}
for case in sorted(set(os.listdir(cases_dir)) - unlike):
    text = open(os.path.join(cases_dir, case), encoding="utf-8", errors="surrogateescape").read()
    files = {}
    for m in re.finditer(r"^== file calendars/([^/\n]+)/([^/\n ]+\.ics)( crlf| cr)?\n(.*?)(?=^== )",
                         text, re.S | re.M):
        if "{" in m.group(1) or "\\x" in m.group(4):
            continue
        files.setdefault(m.group(1), []).append(m.group(4).replace("\n", "\r\n"))
    for cal, bodies in files.items():
        if len(bodies) == 1 and "BEGIN:VEVENT" in bodies[0]:
            calendars[re.sub(r"[^a-z0-9]", "-", f"{case[:-5]}-{cal}".lower())] = bodies[0]
    for m in re.finditer(r"^== run (?:TZ=(\S+) )?events (\d{4}-\d\d-\d\d) (\d{4}-\d\d-\d\d) ", text, re.M):
        windows.add((m.group(1) or "Europe/Berlin", m.group(2), m.group(3)))

for uid, body in calendars.items():
    os.makedirs(f"{data}/calendars/{uid}", exist_ok=True)
    open(f"{data}/calendars/{uid}/e.ics", "w", encoding="utf-8", errors="surrogateescape").write(body)
    os.makedirs(f"{data}/evolution/calendar/{uid}", exist_ok=True)
    open(f"{data}/evolution/calendar/{uid}/calendar.ics", "w", encoding="utf-8",
         errors="surrogateescape").write(body)
    source(uid, uid, "local", "#102030")



def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


# CalDAV calendars: one whose server is not there (a free port on 127.0.0.1), one on iCloud, and
# one on a local Radicale holding a case calendar, an item a UID.
dav_case, dav_window = "midnight-overrides-ex", ("2026-04-13", "2026-04-20")
items = {}
for block in re.findall(r"BEGIN:VEVENT\r\n.*?END:VEVENT\r\n", calendars[dav_case], re.S):
    items.setdefault(re.search(r"^UID:(.*?)\r$", block, re.M).group(1), []).append(block)
store = f"{home}/radicale/collection-root/u/cal"
os.makedirs(store)
open(f"{store}/.Radicale.props", "w").write('{"tag": "VCALENDAR"}')
for uid, blocks in items.items():
    open(f"{store}/{uid}.ics", "w").write("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\n" +
                                          "".join(blocks) + "END:VCALENDAR\r\n")
server_port = free_port()
server = subprocess.Popen(["radicale", "--server-hosts", f"127.0.0.1:{server_port}",
                           "--auth-type", "none", "--rights-type", "authenticated",
                           "--storage-filesystem-folder", f"{home}/radicale"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
atexit.register(server.kill)  # also when a check above raises
for uid, host, port in [("dav", "127.0.0.1", free_port()), ("apple", "caldav.icloud.com", 443),
                        ("radicale", "127.0.0.1", server_port)]:
    source(uid, uid, "caldav", "#aabbcc", parent="",
           extra=f"\n[Authentication]\nHost={host}\nPort={port}\nUser=u\n\n"
                 f"[WebDAV Backend]\nResourcePath=/u/cal/\n\n[Security]\nMethod=none\n")
# A source UID holding "," (listed escaped, and selected by that id) with a case's calendar; one
# holding "%", only listed: EDS's local backend cannot open it ("Cannot get URI"). The backends of
# the other account kinds.
odd_uid, odd_id = "odd,uid", "/eds/odd%2Cuid"
os.makedirs(f"{data}/evolution/calendar/{odd_uid}")
open(f"{data}/evolution/calendar/{odd_uid}/calendar.ics", "w").write(calendars[dav_case])
source(odd_uid, odd_uid, "local", "#102030")
source("100%", "100%", "local", "#102030")
kinds = {"webcal": "subscribed", "ews": "exchange", "microsoft365": "exchange",
         "contacts": "birthdays", "weather": "other"}
for backend in kinds:
    source(f"kind-{backend}", backend, backend, "#405060")
compared, busiest = 0, (0, "", "")
file_ids = ",".join(calendars)
eds_ids = ",".join("/eds/" + uid for uid in calendars)


def records(out, prefix):
    if not out.startswith("["):
        return [out]
    return sorted(json.dumps(dict(e, calendar=e["calendar"].removeprefix(prefix)), sort_keys=True)
                  for e in json.loads(out))


for tz, start, end in sorted(windows):
    env = dict(os.environ, TZ=tz)
    (sa, a), (sb, b) = run("events", start, end, file_ids, env=env), run("events", start, end, eds_ids, env=env)
    ra, rb = records(a, ""), records(b, "/eds/")
    compared += len(ra)
    if len(ra) > busiest[0]:
        busiest = (len(ra), start, end)
    if (sa, ra) != (sb, rb):
        failures.append(f"events {start} {end} TZ={tz}:\n files only {sorted(set(ra) - set(rb))}\n"
                        f" eds only {sorted(set(rb) - set(ra))}")

# The listing: kind, colour and account of a local EDS calendar beside the file store's.
status, out = run("calendars")
listing = {c["id"]: c for c in json.loads(out)}
some = next(iter(calendars))
want = {"id": "/eds/" + some, "title": some, "account": "On This Computer", "kind": "local",
        "color": "#102030"}
if listing.get("/eds/" + some) != want or some not in listing:
    failures.append(f"listing: {out}")
for uid, kind in [("dav", "caldav"), ("apple", "icloud")] + [("kind-" + b, k)
                                                             for b, k in kinds.items()]:
    if listing.get("/eds/" + uid, {}).get("kind") != kind:
        failures.append(f"{uid} is not {kind}: {out}")
for uid, id in [(odd_uid, odd_id), ("100%", "/eds/100%25")]:
    if listing.get(id, {}).get("title") != uid:
        failures.append(f"{id} not listed: {out}")
want = records(run("events", *dav_window, dav_case)[1], dav_case)
got = records(run("events", *dav_window, odd_id)[1], odd_id)
if got != want or not want:
    failures.append(f"{odd_id}: {got} against {want}")
# The dead server's calendar is asked beside a file-store one: the run ends, with the file's events.
alone = run("events", busiest[1], busiest[2], file_ids)
with_dav = run("events", busiest[1], busiest[2], "/eds/dav," + file_ids)
if with_dav != alone or '"start"' not in alone[1]:
    failures.append(f"dead CalDAV server: {with_dav} against {alone}")
files_only = [c for c in listing.values() if not c["id"].startswith("/")]

# The Radicale calendar answers as the file store reads the same calendar once EDS has it cached
# (its first runs answer from an empty cache while the backend refreshes); after the server
# stops, a run asking for it ends within its bound, with the other calendar's events.
if listing.get("/eds/radicale", {}).get("kind") != "caldav":
    failures.append(f"radicale is not caldav: {out}")
want = records(run("events", *dav_window, dav_case)[1], dav_case)
for _ in range(40):
    got = records(run("events", *dav_window, "/eds/radicale")[1], "/eds/radicale")
    if got == want:
        break
    time.sleep(0.5)
if got != want or not want:
    failures.append(f"Radicale calendar: {got} against {want}")
server.terminate()
server.wait()
other = next(c for c in calendars if c != dav_case)
alone = run("events", busiest[1], busiest[2], other)
if run("events", busiest[1], busiest[2], f"/eds/radicale,{other}") != alone:
    failures.append("a stopped Radicale's calendar beside a file-store one")

# No registry to be had: the file store alone, as without EDS.
for name, env in [("dead bus", dict(os.environ, DBUS_SESSION_BUS_ADDRESS=f"unix:path={home}/none")),
                  ("no bus", {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"})]:
    status, out = run("calendars", env=env)
    if status != 0 or sorted(c["id"] for c in json.loads(out)) != sorted(c["id"] for c in files_only):
        failures.append(f"{name}: {status} {out}")

# The program without its module (copied alone), the registry answering on the bus: the file
# store alone, and the EDS ids unknown.
with tempfile.TemporaryDirectory() as bare:
    shutil.copy(binary, bare)
    lone = os.path.join(bare, os.path.basename(binary))
    listed = subprocess.run([lone, "calendars"], capture_output=True, timeout=60)
    asked = subprocess.run([lone, "events", busiest[1], busiest[2], eds_ids], capture_output=True,
                           timeout=60)
    if (listed.returncode, listed.stderr, asked.stdout, asked.stderr) != (0, b"", b"[]\n", b"") or \
            sorted(c["id"] for c in json.loads(listed.stdout)) != sorted(c["id"] for c in files_only):
        failures.append(f"without the module: {listed} {asked}")

print(f"{len(calendars)} calendars, {len(windows)} windows, {compared} events compared")
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures or compared == 0 else 0)
