#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when some are missing. On macOS it
# checks for what the build needs and prints the one Homebrew command that installs the rest.
# --program: only what the program and its package need (no tests); `make demo` on macOS,
# `make package` and `make install`.
set -euo pipefail

program_only=false
[ "${1:-}" = --program ] && program_only=true

# The program uses the system frameworks only; the build needs the Command Line Tools and CMake,
# the tests GoogleTest.
check_macos() {
  local missing=() prefix found
  if ! xcode-select -p >/dev/null 2>&1; then
    echo "the Xcode Command Line Tools are missing; run: xcode-select --install" >&2
    return 1
  fi
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  if ! $program_only; then
    found=false
    for prefix in $(brew --prefix 2>/dev/null) /opt/homebrew /usr/local; do
      if [ -f "$prefix/include/gtest/gtest.h" ] && [ -f "$prefix/include/gmock/gmock.h" ]; then
        found=true
      fi
    done
    $found || missing+=(googletest)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "missing packages; run: brew install ${missing[*]}" >&2
  command -v brew >/dev/null 2>&1 || echo "(Homebrew itself first: https://brew.sh)" >&2
  return 1
}

if [ "$(uname -s)" = Darwin ]; then
  check_macos
  exit
fi

# dpkg-shlibdeps (dpkg-dev) and file let CPack declare the libraries the package depends on;
# libecal and libedataserver let the program read GNOME's calendar store, libsqlite3
# Thunderbird's.
packages=(cmake make g++ pkg-config libical-dev libicu-dev dpkg-dev file libecal2.0-dev
          libedataserver1.2-dev libsqlite3-dev)
# The desktop store's tests run the calendar service under a private session bus, with a
# local Radicale as a CalDAV server; the Thunderbird store's test has Thunderbird itself (headless)
# write a profile and list its occurrences. lintian checks the packages (man-db lets it read the
# page), strace shows where the program looks for its module.
$program_only || packages+=(clang libgtest-dev libgmock-dev libbenchmark-dev tzdata python3
                            clang-tidy libclang-rt-dev valgrind python3-icalendar
                            python3-recurring-ical-events python3-yaml evolution-data-server
                            dbus-daemon dbus-bin time radicale lintian man-db strace thunderbird)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages; run: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
