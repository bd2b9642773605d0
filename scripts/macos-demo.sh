#!/usr/bin/env bash
# `make demo` on macOS: the program over the user's own calendars. Runs `status`, then
# `calendars`, then this week's `events` over every calendar of the listing.
# Usage: macos-demo.sh PROGRAM
set -uo pipefail
program=$1

show() { echo "\$ velkor-calendar $*"; }

show status
status=$("$program" status) || exit
echo "$status"
case $status in
  *'"access":"notDetermined"'*)
    echo "Calendar access is not decided yet: '$program request' asks for it (once)."
    exit 0
    ;;
esac

show calendars
listing=$("$program" calendars)
code=$?
echo "$listing"
if [ $code -eq 2 ]; then
  echo "Full calendar access is missing: grant it under System Settings > Privacy & Security > Calendars."
  exit 0
fi
[ $code -eq 0 ] || exit $code

# The ids of the listing, unescaped as far as identifiers need: \/ and \" and \\.
ids=$(printf '%s\n' "$listing" | grep -oE '"id":"([^"\\]|\\.)*"' |
  sed -e 's/^"id":"//' -e 's/"$//' -e 's/\\\//\//g' -e 's/\\"/"/g' -e 's/\\\\/\\/g' | paste -s -d, -)
if [ -z "$ids" ]; then
  echo "No calendars to search."
  exit 0
fi

# This week, Monday to Monday (BSD date on macOS, GNU date elsewhere).
back=$(($(date +%u) - 1))
monday=$(date -v-"$back"d +%Y-%m-%d 2>/dev/null || date -d "-$back days" +%Y-%m-%d)
next=$(date -j -v+7d -f %Y-%m-%d "$monday" +%Y-%m-%d 2>/dev/null || date -d "$monday +7 days" +%Y-%m-%d)
show events "$monday" "$next" "$ids"
"$program" events "$monday" "$next" "$ids"
