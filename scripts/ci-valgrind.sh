#!/usr/bin/env bash
# The whole-process tests with every run of the program under valgrind's memcheck: an invalid
# access, a use of uninitialised memory or a leak (definite or indirect) in the program makes its
# exit status 97, which the tests see as a failure. The largest hostile stores are left out: under
# valgrind they would take minutes and prove nothing the smaller ones do not; the empty store's
# time bound is the native program's; an every-minute COUNT rule expanded from its start in full
# takes minutes there as well. Then the Thunderbird store over the profile Thunderbird wrote
# (SQLite, the private copies, the rebuilt iCalendar).
#
#   scripts/ci-valgrind.sh [BUILD_DIR]    (a built, non-sanitizer build directory)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
skip='*/count_minutely:HostileStore.LargeInputs*:HostileStore.HundredThousand*:HostileStore.Endless*:HostileStore.Batches*:Standalone.AnEmptyStore*'
valgrind --quiet --trace-children=yes --error-exitcode=97 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  --child-silent-after-fork=no "$build/tests/test_e2e" --gtest_filter="-$skip" --gtest_brief=1
VELKOR_WRAPPER="valgrind --quiet --error-exitcode=97 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect" \
  PYTHONDONTWRITEBYTECODE=1 python3 tests/thunderbird/tb_test.py "$build/velkor-calendar" --kept
