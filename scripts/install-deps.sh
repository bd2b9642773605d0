#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when some are missing.
set -euo pipefail

# macOS builds use the system frameworks only; nothing to install there.
[ "$(uname -s)" = Darwin ] && exit 0

packages=(cmake make g++ clang pkg-config libical-dev libicu-dev libgtest-dev libgmock-dev
          libbenchmark-dev tzdata python3 clang-tidy libclang-rt-dev valgrind
          python3-icalendar python3-recurring-ical-events)
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
