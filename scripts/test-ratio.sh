#!/usr/bin/env bash
# Prints how many lines of tests there are for each line of code.
#   tests: every C++, C, Python and shell file under tests/, except its data (tests/data/)
#          and its benchmarks (tests/bench/)
#   code:  every other C++, C, Python and shell file the project keeps (git ls-files),
#          outside docs/
# A file without an extension counts when its first line runs a shell or Python. Every line
# counts, blank lines and comments included.
set -euo pipefail
cd "$(dirname "$0")/.."

# Whether the file is C++, C, Python or shell.
is_source() {
  case "$1" in
    *.cpp | *.cc | *.h | *.hpp | *.c | *.py | *.sh) return 0 ;;
    */*.* | *.*) return 1 ;;
  esac
  head -n 1 "$1" | grep -Eq '^#!.*\b(ba|da|z)?sh\b|^#!.*python' 
}

tests=0
code=0
while IFS= read -r file; do
  [ -f "$file" ] && is_source "$file" || continue
  lines=$(wc -l < "$file")
  case "$file" in
    docs/* | build/*) ;;
    tests/data/* | tests/bench/*) ;;
    tests/*) tests=$((tests + lines)) ;;
    *) code=$((code + lines)) ;;
  esac
done < <(git ls-files)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "test lines %d, code lines %d, ratio %.2f\n", t, c, t / c }'
