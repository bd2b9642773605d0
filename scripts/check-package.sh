#!/usr/bin/env bash
# Checks what `make package` and `make install` ship, without touching the system: the two Debian
# packages (velkor-calendar: the program, its manual page; velkor-calendar-eds: the desktop
# module) hold what they should and declare the installed libraries their files link, the program
# links no desktop library and looks for its module where the module package puts it, the
# install into an empty prefix holds the same files as the two packages, and the shipped program
# answers as the built one does.
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
deb_of() {
  local debs=("$build/$1_${version}"_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one $1_${version}_*.deb in $build"
  echo "${debs[0]}"
}
program_deb=$(deb_of velkor-calendar)
module_deb=$(deb_of velkor-calendar-eds)

# The files (not directories) under a root, one relative path a line.
files_under() {
  (cd "$1" && find . ! -type d | sed 's|^\./||' | sort)
}

dpkg-deb -x "$program_deb" "$tmp/root"
dpkg-deb -x "$module_deb" "$tmp/module-root"
libdir=$(cd "$tmp/module-root" && find usr/lib -name velkor-calendar-eds.so -printf '%h\n')
[ -n "$libdir" ] || fail "velkor-calendar-eds holds no velkor-calendar-eds.so under usr/lib"
expected_program="usr/bin/velkor-calendar
usr/share/doc/velkor-calendar/changelog.gz
usr/share/doc/velkor-calendar/copyright
usr/share/man/man1/velkor-calendar.1.gz"
expected_module="$libdir/velkor-calendar-eds.so
usr/share/doc/velkor-calendar-eds/changelog.gz
usr/share/doc/velkor-calendar-eds/copyright"
[ "$(files_under "$tmp/root")" = "$expected_program" ] ||
  fail "velkor-calendar holds other files: $(files_under "$tmp/root" | xargs)"
[ "$(files_under "$tmp/module-root")" = "$expected_module" ] ||
  fail "velkor-calendar-eds holds other files: $(files_under "$tmp/module-root" | xargs)"
for object in "$tmp/root/usr/bin/velkor-calendar" "$tmp/module-root/$libdir/velkor-calendar-eds.so"; do
  file -b "$object" | grep -q ', stripped' || fail "$object is not stripped"
done
[ "$(stat -c %a "$tmp/module-root/$libdir/velkor-calendar-eds.so")" = 644 ] ||
  fail "the module is not mode 644"

# cmake --install puts the same files under its prefix as the two packages under /usr.
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
[ "$(files_under "$tmp/prefix")" = "$(printf '%s\n' "$expected_program" "$expected_module" |
  sed 's|^usr/||' | sort)" ] || fail "cmake --install put other files: $(files_under "$tmp/prefix" | xargs)"

# The program links no desktop library and looks for the module where its package puts it.
needed=$(readelf -d "$tmp/root/usr/bin/velkor-calendar" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
grep -qE 'glib|gio-|gobject|ecal|edataserver' <<<"$needed" &&
  fail "the program links a desktop library: $(xargs <<<"$needed")"
# (The path is built in code, not kept as one string: the program's own attempt to open it shows.)
XDG_DATA_HOME=$tmp strace -f -e trace=openat -o "$tmp/trace" "$tmp/root/usr/bin/velkor-calendar" \
  calendars >/dev/null
grep -qF "\"/$libdir/velkor-calendar-eds.so\"" "$tmp/trace" ||
  fail "the program does not look for its module in /$libdir"

field() { dpkg-deb -f "$1" "$2"; }
for deb in "$program_deb" "$module_deb"; do
  for name in Package Version Maintainer Section Description Depends; do
    [ -n "$(field "$deb" "$name")" ] || fail "$(basename "$deb") has no $name"
  done
  [ "$(field "$deb" Version)" = "$version" ] || fail "$(basename "$deb") is not version $version"
  # Every package named in Depends is a real one: installed here, where the files were linked.
  for name in $(field "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g'); do
    [ "$name" = velkor-calendar ] && continue
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
      fail "$(basename "$deb") depends on $name, which is not installed here"
  done
done
depends=$(field "$program_deb" Depends)
for library in 'libical[0-9]' 'libicu[0-9]+' 'libsqlite3-[0-9]' 'libstdc\+\+6'; do
  grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "velkor-calendar Depends lacks $library: $depends"
done
grep -qE 'libecal|libglib|libedataserver' <<<"$depends" &&
  fail "velkor-calendar depends on a desktop library: $depends"
[ "$(field "$program_deb" Recommends)" = velkor-calendar-eds ] ||
  fail "velkor-calendar does not recommend velkor-calendar-eds"
module_depends=$(field "$module_deb" Depends)
for library in 'libecal-2\.0-[0-9]+' 'libglib2\.0-0' "velkor-calendar \\(= ${version//./\\.}\\)"; do
  grep -qE "(^|, )$library( |,|$)" <<<"$module_depends" ||
    fail "velkor-calendar-eds Depends lacks $library: $module_depends"
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

# The packaged program, alone and with the packaged module beside it (which it loads, the
# loader's log shows), answers over the example calendars as the built one does.
mkdir "$tmp/bundle"
cp "$tmp/root/usr/bin/velkor-calendar" "$tmp/module-root/$libdir/velkor-calendar-eds.so" "$tmp/bundle/"
ids=$(XDG_DATA_HOME=$PWD/examples "$build/velkor-calendar" calendars |
  python3 -c 'import json, sys; print(",".join(c["id"] for c in json.load(sys.stdin)))')
[ -n "$ids" ] || fail "the built program lists no example calendar"
for command in calendars "events 2026-12-07 2026-12-14 $ids"; do
  # shellcheck disable=SC2086 # the command's words
  built=$(XDG_DATA_HOME=$PWD/examples TZ=Europe/Berlin "$build/velkor-calendar" $command)
  for program in "$tmp/root/usr/bin/velkor-calendar" "$tmp/bundle/velkor-calendar"; do
    # shellcheck disable=SC2086
    shipped=$(env -u DBUS_SESSION_BUS_ADDRESS XDG_DATA_HOME=$PWD/examples TZ=Europe/Berlin \
      LD_DEBUG=files LD_DEBUG_OUTPUT="$tmp/ld" "$program" $command 2>"$tmp/err")
    [ "$built" = "$shipped" ] && [ ! -s "$tmp/err" ] ||
      fail "$program answers '$command' differently"
  done
  cat "$tmp"/ld.* | grep -q "calling init: $tmp/bundle/velkor-calendar-eds.so" ||
    fail "the packaged program did not load the packaged module beside it"
  rm -f "$tmp"/ld.*
done
echo "check-package: $(basename "$program_deb") (Depends: $depends; Recommends: velkor-calendar-eds)"
echo "check-package: $(basename "$module_deb") (Depends: $module_depends)"
