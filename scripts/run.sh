#!/usr/bin/env bash
# Builds kelna.scr and starts the saver under Wine with settings of its own (in
# build/run-settings, never the user's). With a display it runs until the first input;
# without one it runs on a private Xvfb for a few seconds and saves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
kelna_install_missing

cmake --preset windows >/dev/null
cmake --build --preset windows --target kelna

export KELNA_CONFIG_DIR=$PWD/build/run-settings
mkdir -p "$KELNA_CONFIG_DIR"
prefix=$PWD/build/windows/wineprefix
had_display=${DISPLAY:-}
tests/wine/wine-session start "$prefix"
eval "$(tests/wine/wine-session env "$prefix")"
saver=build/windows/bin/kelna.scr

if [ -n "$had_display" ]; then
  exec /usr/lib/wine/wine64 "$saver" /s
fi

trap 'tests/wine/wine-session stop "$prefix"' EXIT
shots=$PWD/build/screenshots
mkdir -p "$shots"
/usr/lib/wine/wine64 "$saver" /s </dev/null &
saver_pid=$!
for second in 2 4; do
  sleep 2
  import -window root "$shots/saver-${second}s.png"
done
kill "$saver_pid" 2>/dev/null || true
wait "$saver_pid" 2>/dev/null || true
echo "Screenshots of the running saver: $shots"
