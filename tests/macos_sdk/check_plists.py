#!/usr/bin/env python3
"""Checks the property lists that the macOS build embeds and signs with.

A malformed or incomplete Info.plist or entitlements file still links and signs, and then the
system silently refuses calendar access on the Mac; this catches that on any system.
Usage: check_plists.py INFO_PLIST ENTITLEMENTS
"""
import plistlib
import sys


def load(path):
    with open(path, "rb") as f:
        value = plistlib.load(f, fmt=plistlib.FMT_XML)
    if not isinstance(value, dict):
        raise ValueError(f"{path}: the top level is not a dictionary")
    return value


def main(info_path, entitlements_path):
    problems = []
    info = load(info_path)
    for key in ("CFBundleIdentifier", "NSCalendarsFullAccessUsageDescription",
                "NSCalendarsUsageDescription"):
        value = info.get(key)
        if not isinstance(value, str) or not value.strip():
            problems.append(f"{info_path}: {key} must be a non-empty string")
    identifier = info.get("CFBundleIdentifier", "")
    if isinstance(identifier, str) and identifier.count(".") < 2:
        problems.append(f"{info_path}: CFBundleIdentifier {identifier!r} is not reverse-DNS")
    entitlements = load(entitlements_path)
    if entitlements.get("com.apple.security.personal-information.calendars") is not True:
        problems.append(f"{entitlements_path}: the calendars entitlement must be <true/>")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
