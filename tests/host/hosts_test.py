"""The host examples of examples/host/ against the built program: each lists the calendars and
prints one line per event the program answers, in its order; both print the same bytes; a refused
command line and missing access reach the host as exit statuses 1 and 2.

    python3 hosts_test.py PROGRAM EXAMPLES_DIR [node]
"""
import json
import os
import subprocess
import sys
import tempfile

program, examples = sys.argv[1], sys.argv[2]
hosts = [[sys.executable, os.path.join(examples, "host", "host.py")]]
if len(sys.argv) > 3:
    hosts.append([sys.argv[3], os.path.join(examples, "host", "host.js")])
env = dict(os.environ, XDG_DATA_HOME=examples, TZ="Europe/Berlin")
env.pop("DBUS_SESSION_BUS_ADDRESS", None)
week = ["2026-12-07", "2026-12-14"]
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)


def run(command, environment=env):
    return subprocess.run(command, capture_output=True, env=environment, timeout=60, check=False)


calendars = json.loads(run([program, "calendars"]).stdout)
ids = ",".join(c["id"] for c in calendars)
events = json.loads(run([program, "events", *week, ids]).stdout)
check("the example week has events of several calendars", len({e["calendar"] for e in events}) > 2)

outputs = []
for host in hosts:
    name = os.path.basename(host[-1])
    done = run([*host, program, *week])
    lines = done.stdout.decode().splitlines()
    outputs.append(done.stdout)
    check(f"{name}: exit 0, nothing on stderr", done.returncode == 0 and done.stderr == b"")
    check(f"{name}: a line per calendar, then per event",
          len(lines) == len(calendars) + len(events))
    for line, c in zip(lines, calendars):
        check(f"{name}: {line!r} names calendar {c['title']}", f"calendar {c['title']} (" in line)
    for line, e in zip(lines[len(calendars):], events):
        check(f"{name}: {line!r} is {e['title']} at {e['start']}",
              line.startswith(e["start"][:10]) and f" {e['title']}" in line)

    refused = run([*host, program, *reversed(week)])
    check(f"{name}: a refused command line is exit 1 with the usage line",
          refused.returncode == 1 and refused.stderr.startswith(b"usage: velkor-calendar events"))

    with tempfile.TemporaryDirectory() as data:
        # A store root that is no directory cannot be read: access is denied.
        open(os.path.join(data, "calendars"), "w").close()
        denied = run([*host, program], dict(env, XDG_DATA_HOME=data))
        check(f"{name}: missing access is exit 2 and said",
              denied.returncode == 2 and b"no calendar access (denied)" in denied.stdout)

check("the hosts print the same bytes", len(set(outputs)) == 1)
for f in failures:
    print("FAILED:", f)
print(f"{len(hosts)} host examples, {len(failures)} failures")
sys.exit(1 if failures else 0)
