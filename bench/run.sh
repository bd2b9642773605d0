#!/usr/bin/env bash
# Whole-process timing of a one-week and a four-year `events` query over the synthetic store of
# make_store.py: 20 calendars x 1,000 files (and, with --scale 10, x 10,000), against a plain read
# of the same files. Prints the median wall time of several runs and the peak resident memory.
# With --single-file N the store is one calendar file of N events instead, queried for a week
# among the events and for a week after every finite event (only endless rules reach it).
# With --daily N the store is N files of endless daily events, queried for four years: N >= 343
# gives an answer of the largest size (500,000 events).
# BENCH_BINARY=path times that program instead of building one (to compare two builds).
#
# Usage: bench/run.sh [--scale N | --single-file N | --daily N] [--runs N]
set -euo pipefail

scale=1
single=0
daily=0
runs=9
while [ $# -gt 0 ]; do
  case "$1" in
    --scale) scale="$2"; shift 2 ;;
    --single-file) single="$2"; shift 2 ;;
    --daily) daily="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    *) echo "usage: bench/run.sh [--scale N | --single-file N | --daily N] [--runs N]" >&2; exit 1 ;;
  esac
done

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$repo/build-bench}"
if [ "$single" -gt 0 ]; then
  store="${BENCH_STORE_DIR:-/tmp/velkor-bench-single-$single}"
  make=(--single-file "$single")
elif [ "$daily" -gt 0 ]; then
  store="${BENCH_STORE_DIR:-/tmp/velkor-bench-daily-$daily}"
  make=(--daily "$daily")
else
  store="${BENCH_STORE_DIR:-/tmp/velkor-bench-store-x$scale}"
  make=(--scale "$scale")
fi

if [ -n "${BENCH_BINARY:-}" ]; then
  binary="$BENCH_BINARY"
else
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF >/dev/null
  cmake --build "$build" --target velkor-calendar -j2 >/dev/null
  binary="$build/velkor-calendar"
fi

if [ ! -f "$store/.complete" ]; then
  rm -rf "$store"
  python3 "$repo/bench/make_store.py" "$store" "${make[@]}"
  touch "$store/.complete"
fi

export XDG_DATA_HOME="$store" TZ=Europe/Berlin
ids="$("$binary" calendars | python3 -c 'import json, sys; print(",".join(c["id"] for c in json.load(sys.stdin)))')"

python3 - "$binary" "$store" "$ids" "$runs" <<'PY'
import os, resource, shutil, statistics, subprocess, sys, time

binary, store, ids, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
weeks = [("2026-03-02", "2026-03-09")]
if os.path.isfile(os.path.join(store, "calendars", "export.ics")):
    weeks.append(("2033-03-07", "2033-03-14"))  # after every finite event of the export
elif os.path.isdir(os.path.join(store, "calendars", "busy")):
    weeks = [("2026-01-01", "2030-01-01")]  # the daily events' four years
else:
    weeks.append(("2024-06-01", "2028-06-01"))  # four years (1,461 days) among the events
files = sorted(os.path.join(d, f) for d, _, fs in os.walk(os.path.join(store, "calendars"))
               for f in fs if f.endswith(".ics"))
size = sum(os.path.getsize(f) for f in files)
plain = ["xargs", "-0", "cat"]
listing = b"\0".join(f.encode() for f in files)


def timed(cmd, stdin=None, keep=True):
    start = time.perf_counter()
    done = subprocess.run(cmd, input=stdin, stdout=subprocess.PIPE if keep else subprocess.DEVNULL,
                          check=True)
    return time.perf_counter() - start, done.stdout


def peak_kb(cmd):
    if shutil.which("/usr/bin/time"):
        out = subprocess.run(["/usr/bin/time", "-v"] + cmd, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True, check=True).stderr
        for line in out.splitlines():
            if "Maximum resident set size" in line:
                return int(line.split(":")[1])
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    return max(before, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)


queries = [[binary, "events", a, b, ids] for a, b in weeks]
for query in queries:
    timed(query)  # warm the page cache
# Each round times every query and the plain reads, so that all see the same load.
query_times, events, sizes = [[] for _ in queries], [0 for _ in queries], [0 for _ in queries]
plain_times, loop_times = [], []


def read_all():
    start = time.perf_counter()
    for f in files:
        with open(f, "rb") as handle:
            handle.read()
    return time.perf_counter() - start


for _ in range(runs):
    for i, query in enumerate(queries):
        t, out = timed(query)
        query_times[i].append(t)
        events[i] = out.count(b'"calendar"')
        sizes[i] = len(out)
    plain_times.append(timed(plain, listing, keep=False)[0])
    loop_times.append(read_all())
p, loop = statistics.median(plain_times), statistics.median(loop_times)
print("store: %s (%d files, %.1f MB)" % (store, len(files), size / 1e6))
print("plain read (xargs cat) median %.3f s" % p)
print("plain read (one python process, open+read each file) median %.3f s" % loop)
for i, (a, b) in enumerate(weeks):
    q = statistics.median(query_times[i])
    print("query: events %s %s <%d calendars>, TZ=Europe/Berlin -> %d events (%.1f MB)"
          % (a, b, ids.count(",") + 1, events[i], sizes[i] / 1e6))
    print("  median %.3f s (min %.3f, max %.3f) over %d runs; ratio to xargs cat %.2f, "
          "to one process %.2f" % (q, min(query_times[i]), max(query_times[i]), runs, q / p,
                                   q / loop))
    print("  peak RSS %.1f MB" % (peak_kb(queries[i]) / 1024))
PY
