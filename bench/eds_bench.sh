#!/usr/bin/env bash
# Whole-process figures of the EDS store beside the file store: 10,000 events (90% single over
# four years, 10% endless weekly) as one EDS local calendar and as one .ics file, under a private
# session bus with the services already running (a warm-up run first). EDS twice: with no other
# client, so that each run makes the factory open (read) the calendar, and with it held open by
# another client, as GNOME Shell's calendar server and the alarm notifier keep the calendars of a
# GNOME session (that client needs python3-gi). Wall time and peak RSS by /usr/bin/time -v.
# Usage: bench/eds_bench.sh BUILD/velkor-calendar
set -euo pipefail
binary=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
exec bash "$here/../tests/eds/run_private_bus.sh" bash -c '
set -euo pipefail
binary=$1 here=$2
mkdir -p "$XDG_CONFIG_HOME/evolution/sources" "$XDG_DATA_HOME/evolution/calendar/bench" "$XDG_DATA_HOME/calendars"
python3 - "$XDG_DATA_HOME/calendars/bench.ics" <<PY
import random, sys
random.seed(7)
out = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//bench//EN"]
for i in range(10000):
    day = random.randrange(4 * 365)
    y, d = 2025 + day // 365, day % 365
    import datetime
    t = datetime.datetime(2025, 1, 1, 8 + i % 10) + datetime.timedelta(days=day)
    out += ["BEGIN:VEVENT", f"UID:e{i}", t.strftime("DTSTART:%Y%m%dT%H%M%SZ"),
            "DURATION:PT1H", f"SUMMARY:Event {i}"]
    if i % 10 == 0:
        out.append("RRULE:FREQ=WEEKLY")
    out.append("END:VEVENT")
out.append("END:VCALENDAR")
open(sys.argv[1], "w").write("\r\n".join(out) + "\r\n")
PY
cp "$XDG_DATA_HOME/calendars/bench.ics" "$XDG_DATA_HOME/evolution/calendar/bench/calendar.ics"
printf "[Data Source]\nDisplayName=Bench\nEnabled=true\nParent=local-stub\n\n[Calendar]\nBackendName=local\n" \
  > "$XDG_CONFIG_HOME/evolution/sources/bench.source"
for w in 1 2; do /usr/bin/time -f "warm-up %e s" "$binary" events 2026-12-07 2026-12-14 /eds/bench | grep -o "\"start\"" | wc -l; done  # warm-up: registry and factory
measure() {  # LABEL ID
  for window in "2026-12-07 2026-12-14 week" "2026-01-01 2027-01-01 year"; do
    set -- "$1" "$2" $window
    /usr/bin/time -v "$binary" events $3 $4 $2 2>/tmp/velkor-bench-time >/tmp/velkor-bench-out
    printf "%-12s %-5s %6s events  %s s  %s MB\n" "$1" "$5" \
      "$(grep -o "\"start\"" /tmp/velkor-bench-out | wc -l)" \
      "$(grep "Elapsed (wall" /tmp/velkor-bench-time | sed "s/.*: //")" \
      "$(( $(grep "Maximum resident" /tmp/velkor-bench-time | sed "s/.*: //") / 1024 ))"
  done
}
measure "EDS" /eds/bench
measure "file store" bench.ics
# The other client keeps the calendar open until its standard input closes.
exec 5> >(/usr/bin/python3 "$here/eds_hold.py" bench "$XDG_RUNTIME_DIR/held")
for _ in $(seq 100); do [ -e "$XDG_RUNTIME_DIR/held" ] && break; sleep 0.1; done
[ -e "$XDG_RUNTIME_DIR/held" ] || { echo "no other client (python3-gi missing?)"; exit 1; }
measure "EDS, held" /eds/bench
exec 5>&-
' bench "$binary" "$here"
