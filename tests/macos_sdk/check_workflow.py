#!/usr/bin/env python3
"""Checks the macOS CI workflow, which only runs on GitHub's Macs.

A workflow that is not valid YAML, or that lost one of its checks, would fail or pass unnoticed
there; this catches that on any system.
Usage: check_workflow.py WORKFLOW
"""
import sys

import yaml

# The jobs and what each must run, in this order: README's two commands, then the signed
# program; the universal binary, then each slice's signature and Info.plist.
REQUIRED = {
    "macos": ["make test", "make demo", "codesign -d --entitlements -",
              "otool -s __TEXT __info_plist", '"$program" status'],
    "universal": ["make universal", "lipo -archs", "grep -qw arm64", "grep -qw x86_64",
                  "for arch in arm64 x86_64", 'codesign -d --entitlements - --arch "$arch"',
                  'otool -arch "$arch" -s __TEXT __info_plist', '"$program" status'],
}


def problems_of(workflow):
    if not isinstance(workflow, dict):
        return ["the top level is not a mapping"]
    problems = []
    # YAML 1.1 reads the key `on` as the boolean true.
    if "on" not in workflow and True not in workflow:
        problems.append("no trigger (`on`)")
    jobs = workflow.get("jobs")
    if not isinstance(jobs, dict) or not jobs:
        return problems + ["no jobs"]
    for name in REQUIRED:
        if name not in jobs:
            problems.append(f"no job {name}")
    for name, job in jobs.items():
        if not isinstance(job, dict):
            problems.append(f"job {name}: not a mapping")
            continue
        if job.get("runs-on") != "macos-14":
            problems.append(f"job {name}: runs-on is {job.get('runs-on')!r}, not macos-14")
        steps = job.get("steps")
        if not isinstance(steps, list) or not steps:
            problems.append(f"job {name}: no steps")
            continue
        for i, step in enumerate(steps):
            if not isinstance(step, dict) or ("run" in step) == ("uses" in step):
                problems.append(f"job {name}, step {i + 1}: needs exactly one of run and uses")
            elif "run" in step and not isinstance(step["run"], str):
                problems.append(f"job {name}, step {i + 1}: run is not a text")
        script = "\n".join(s["run"] for s in steps if isinstance(s, dict)
                           and isinstance(s.get("run"), str))
        position = 0
        for command in REQUIRED.get(name, []):
            found = script.find(command, position)
            if found < 0:
                problems.append(f"job {name}: does not run {command!r} (in order)")
            else:
                position = found + len(command)
    return problems


def main(path):
    with open(path, encoding="utf-8") as f:
        try:
            workflow = yaml.safe_load(f)
        except yaml.YAMLError as error:
            print(f"{path}: {error}", file=sys.stderr)
            return 1
    problems = problems_of(workflow)
    for problem in problems:
        print(f"{path}: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
