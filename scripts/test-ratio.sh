#!/usr/bin/env bash
# Prints how many lines of tests there are for each line of code.
#   code:  the C++ sources and headers of platform/, sprites/, engine/, app/, saver/,
#          dialogs/, tools/ and linux/
#   tests: the C++ sources and headers under tests/ (not its data)
# Every line counts, blank lines and comments included.
set -euo pipefail
cd "$(dirname "$0")/.."

count() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l; }
code=$(count platform sprites engine app saver dialogs tools linux)
tests=$(count tests -path tests/data -prune -o)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test lines %d, code lines %d, ratio %.2f\n", t, c, t / c }'
