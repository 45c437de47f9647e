#!/usr/bin/env bash
# Builds kelna.scr and the demo animation, and starts the saver on the demo under Wine with
# settings of its own (build/run-settings, never the user's). With a display it runs until
# the first input; without one it runs on a private Xvfb for a few seconds and saves
# screenshots.
#
#   scripts/run.sh              the saver (/s)
#   scripts/run.sh --settings   the settings window (/c) on the same demo and settings
set -euo pipefail
cd "$(dirname "$0")/.."

mode=/s
case "${1:-}" in
  --settings) mode=/c ;;
  '') ;;
  *) echo "usage: scripts/run.sh [--settings]" >&2; exit 2 ;;
esac
source scripts/setup.sh
kelna_install_missing

jobs=$(nproc)
cmake --preset linux >/dev/null
cmake --build --preset linux --target kelna-tool -j "$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows --target kelna -j "$jobs"

prefix=$PWD/build/windows/wineprefix
had_display=${DISPLAY:-}
tests/wine/wine-session start "$prefix"
eval "$(tests/wine/wine-session env "$prefix")"
[ -n "$had_display" ] || trap 'tests/wine/wine-session stop "$prefix"' EXIT

# The demo, laid out for this screen, in a folder the saver reads through Wine's Z: drive.
size=$({ xdpyinfo 2>/dev/null || true; } | awk '/dimensions:/ && !found {print $2; found = 1}')
size=${size:-1280x1024}
demo=$PWD/build/run-demo
windows_demo="Z:$(echo "$demo" | tr / '\\')"
echo "Drawing the demo for a ${size} screen into $demo"
python3 tools/demo/make_demo.py --tool build/linux/tools/kelna-tool --out "$demo" \
  --install-dir "$windows_demo" --size "$size"

export KELNA_CONFIG_DIR=$PWD/build/run-settings
mkdir -p "$KELNA_CONFIG_DIR"
printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=%s\r\nBGMusicFile=%s\r\nBGImageMode=0\r\nBGMusicRepeat=1\r\nWaveSound=1\r\nAnimationFile=%s\r\n' \
  "$windows_demo\\background.bmp" "$windows_demo\\music.mid" "$windows_demo\\demo.anm" \
  >"$KELNA_CONFIG_DIR/CONTROL.INI"
saver=build/windows/bin/kelna.scr

if [ -n "$had_display" ]; then
  exec /usr/lib/wine/wine64 "$saver" "$mode"
fi

shots=$PWD/build/screenshots
mkdir -p "$shots"
if [ "$mode" = /c ]; then
  /usr/lib/wine/wine64 "$saver" /c </dev/null >/dev/null 2>&1 &
  settings_pid=$!
  sleep 4
  import -window root "$shots/settings.png"
  kill "$settings_pid" 2>/dev/null || true
  wait "$settings_pid" 2>/dev/null || true
  echo "Screenshot of the settings window: $shots/settings.png"
  exit 0
fi
/usr/lib/wine/wine64 "$saver" /s </dev/null >/dev/null 2>&1 &
saver_pid=$!
for second in 2 4 6; do
  sleep 2
  import -window root "$shots/saver-${second}s.png"
done
kill "$saver_pid" 2>/dev/null || true
wait "$saver_pid" 2>/dev/null || true
echo "Screenshots of the running saver: $shots"
