#!/usr/bin/env python3
"""Start-up cost: `status` and `calendars` over an empty store (no session bus), whole process,
for the program as built (its EDS module beside it, which `calendars` loads) and for a copy of it
alone in an empty folder (no module). Median and minimum wall time of N runs.

    python3 bench/startup.py PROGRAM [RUNS]      (RUNS default 21)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

program = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
with tempfile.TemporaryDirectory() as data, tempfile.TemporaryDirectory() as bare:
    env = dict(os.environ, XDG_DATA_HOME=data)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    alone = shutil.copy(program, bare)
    for name, binary in (("as built", program), ("alone", alone)):
        for command in ("status", "calendars"):
            times = []
            for _ in range(runs):
                start = time.perf_counter()
                subprocess.run([binary, command], env=env, capture_output=True, check=True)
                times.append(time.perf_counter() - start)
            print(f"{name:9} {command:10} median {statistics.median(times):.4f} s, "
                  f"min {min(times):.4f} s")
