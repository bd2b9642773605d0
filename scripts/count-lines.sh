#!/usr/bin/env bash
# Lines that are neither blank nor only a comment: `//` in C++, Objective-C++ and JavaScript, `#` in
# Python and shell. Test code: tests/ and fuzz/ without the SDK stand-ins of tests/macos_sdk/; case files,
# seed corpora and CMake files are data and not counted.
#
#   scripts/count-lines.sh     prints src, tests+fuzz and their ratio
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  local cpp scripts
  cpp=$(git ls-files -- "$@" | grep -E '\.(cc|h|mm|js)$' | xargs -r grep -cvE '^\s*($|//)' |
    awk -F: '{n += $NF} END {print n + 0}')
  scripts=$(git ls-files -- "$@" | grep -E '\.(py|sh)$' | xargs -r grep -cvE '^\s*($|#)' |
    awk -F: '{n += $NF} END {print n + 0}')
  echo $((cpp + scripts))
}

src=$(count src)
tests=$(count tests fuzz ':!tests/macos_sdk')
echo "src $src, tests and fuzz $tests ($((100 * tests / src))% of src)"
