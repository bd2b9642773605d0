#!/usr/bin/env bash
# Whole-process timing of `events` for a week and a year over the Thunderbird profile of
# make_thunderbird_profile.py (10,000 events in two calendars), beside the file store holding the
# same events as .ics files. Each store is timed alone (the other's folder empty), each round
# running all four queries so that they see the same load. Prints the median wall time and the
# largest peak resident size (/usr/bin/time) of each.
# BENCH_BINARY=path times that program instead of building one.
#
# Usage: bench/thunderbird.sh [--runs N] [--events N]
set -euo pipefail

runs=9
events=10000
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --events) events="$2"; shift 2 ;;
    *) echo "usage: bench/thunderbird.sh [--runs N] [--events N]" >&2; exit 1 ;;
  esac
done

repo="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$repo/build-bench}"
home="${BENCH_STORE_DIR:-/tmp/velkor-bench-thunderbird-$events}"
if [ -n "${BENCH_BINARY:-}" ]; then
  binary="$BENCH_BINARY"
else
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF >/dev/null
  cmake --build "$build" --target velkor-calendar -j2 >/dev/null
  binary="$build/velkor-calendar"
fi
if [ ! -f "$home/.complete" ]; then
  rm -rf "$home"
  python3 "$repo/bench/make_thunderbird_profile.py" "$home" --events "$events"
  touch "$home/.complete"
fi

python3 - "$binary" "$home" "$runs" <<'PY'
import json, os, statistics, subprocess, sys

binary, home, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
empty = os.path.join(home, "empty")
os.makedirs(empty, exist_ok=True)
stores = {
    "thunderbird": dict(os.environ, HOME=home, XDG_DATA_HOME=empty, TZ="Europe/Berlin"),
    "file store": dict(os.environ, HOME=empty, XDG_DATA_HOME=os.path.join(home, "data"),
                       TZ="Europe/Berlin"),
}
windows = {"week": ("2026-03-02", "2026-03-09"), "year": ("2026-01-01", "2027-01-01")}
ids = {}
for name, env in stores.items():
    out = subprocess.run([binary, "calendars"], env=env, capture_output=True, check=True).stdout
    ids[name] = ",".join(c["id"] for c in json.loads(out))


def timed(env, window):
    r = subprocess.run(["/usr/bin/time", "-f", "%e %M", binary, "events", *window, ids_of(env)],
                       env=env, capture_output=True, check=True)
    wall, kb = r.stderr.decode().split()[-2:]
    return float(wall), int(kb) / 1024, len(json.loads(r.stdout))


def ids_of(env):
    return next(ids[n] for n, e in stores.items() if e is env)


results = {(s, w): [] for s in stores for w in windows}
for _ in range(runs + 1):
    for s, env in stores.items():
        for w, window in windows.items():
            results[(s, w)].append(timed(env, window))
print(f"{runs} runs after a warm-up, load average {os.getloadavg()[0]:.1f}")
for (s, w), rows in results.items():
    rows = rows[1:]
    print(f"{s:12} {w}: {rows[0][2]:6d} events, median {statistics.median(r[0] for r in rows):.3f} s,"
          f" peak {max(r[1] for r in rows):.1f} MB")
PY
