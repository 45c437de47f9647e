#!/usr/bin/env bash
# Builds everything and runs every test: native, native under ASan/UBSan, and Windows
# under Wine. Ends with CTest's summary over all of them; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
kelna_install_missing

jobs=$(nproc)
for preset in linux linux-asan windows; do
  echo "== building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# One Wine session (Xvfb when there is no display, one persistent wineserver) for all
# the Windows tests, ended when we are done.
prefix=$PWD/build/windows/wineprefix
scripts/wine/wine-session start "$prefix"
trap 'scripts/wine/wine-session stop "$prefix"' EXIT

# One CTest run over the three builds, so that one summary counts every test.
mkdir -p build/all
{
  echo "# All of Kelna's tests: made by scripts/test.sh"
  for preset in linux linux-asan windows; do echo "subdirs(\"$PWD/build/$preset\")"; done
} > build/all/CTestTestfile.cmake
ctest --test-dir build/all --output-on-failure -j "$jobs"

# Every parser's fuzz target over its seeds once (clang, ASan, UBSan): what fuzzing found
# stays fixed. Longer runs: scripts/fuzz.sh [SECONDS].
echo "== fuzz targets over their seeds"
scripts/fuzz.sh --smoke

echo "== lines of tests per line of code"
scripts/test-ratio.sh
