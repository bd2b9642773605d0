#!/usr/bin/env bash
# Checks what `make package` and `make install` ship, without touching the system: the install
# into an empty prefix and the Debian package hold the program alone, the package declares the
# installed libraries it links, and the shipped program answers as the built one does.
#
#   scripts/check-package.sh [PACKAGE_BUILD]     (default build-package, after `make package`)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

fail() {
  echo "check-package: $*" >&2
  exit 1
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
debs=("$build"/velkor-calendar_"$version"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] ||
  fail "not one velkor-calendar_${version}_*.deb in $build"
deb=${debs[0]}

# The files (not directories) under a root, one relative path a line.
files_under() {
  (cd "$1" && find . ! -type d | sed 's|^\./||' | sort)
}

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
[ "$(files_under "$tmp/prefix")" = bin/velkor-calendar ] ||
  fail "cmake --install put more or less than bin/velkor-calendar: $(files_under "$tmp/prefix" | xargs)"

dpkg-deb -x "$deb" "$tmp/root"
[ "$(files_under "$tmp/root")" = usr/bin/velkor-calendar ] ||
  fail "the package holds more or less than usr/bin/velkor-calendar: $(files_under "$tmp/root" | xargs)"
file -b "$tmp/root/usr/bin/velkor-calendar" | grep -q ', stripped' ||
  fail "the packaged program is not stripped"

for field in Package Version Maintainer Section Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done
[ "$(dpkg-deb -f "$deb" Package)" = velkor-calendar ] || fail "the package is not named velkor-calendar"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in 'libical[0-9]' 'libicu[0-9]+' 'libsqlite3-[0-9]' 'libstdc\+\+6'; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# Every package named in Depends is a real one: it is installed here, where the program was linked.
for name in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/[[:space:]]//g'); do
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
    fail "Depends names $name, which is not installed here"
done

# On an empty data directory the store is empty and readable: one line, nothing else.
mkdir "$tmp/empty"
for program in "$tmp/prefix/bin/velkor-calendar" "$tmp/root/usr/bin/velkor-calendar"; do
  status=0
  XDG_DATA_HOME=$tmp/empty "$program" status >"$tmp/out" 2>"$tmp/err" || status=$?
  [ $status -eq 0 ] && [ "$(cat "$tmp/out")" = '{"access":"fullAccess"}' ] &&
    [ "$(wc -l <"$tmp/out")" -eq 1 ] && [ ! -s "$tmp/err" ] ||
    fail "$program status: exit $status, stdout '$(cat "$tmp/out")', stderr '$(cat "$tmp/err")'"
done

# Over the example calendars the packaged (stripped) program answers as the built one does.
ids=$(XDG_DATA_HOME=$PWD/examples "$build/velkor-calendar" calendars |
  python3 -c 'import json, sys; print(",".join(c["id"] for c in json.load(sys.stdin)))')
[ -n "$ids" ] || fail "the built program lists no example calendar"
for command in calendars "events 2026-12-07 2026-12-14 $ids"; do
  # shellcheck disable=SC2086 # the command's words
  built=$(XDG_DATA_HOME=$PWD/examples TZ=Europe/Berlin "$build/velkor-calendar" $command)
  # shellcheck disable=SC2086
  shipped=$(XDG_DATA_HOME=$PWD/examples TZ=Europe/Berlin "$tmp/root/usr/bin/velkor-calendar" $command)
  [ "$built" = "$shipped" ] || fail "the packaged program answers '$command' differently"
done
echo "check-package: $(basename "$deb"): usr/bin/velkor-calendar only; Depends: $depends"
