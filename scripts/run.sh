#!/usr/bin/env bash
# Builds kelna.scr and the demo animation, and starts the saver on the demo under Wine with
# settings of its own (build/run-settings, never the user's). With a display it runs until
# the first input; without one it runs on a private Xvfb for a few seconds and saves
# screenshots.
#
#   scripts/run.sh              the saver (/s)
#   scripts/run.sh --settings   the settings window (/c) on the same demo and settings
#   scripts/run.sh --native     the native player kelna (SDL2) on the demo, without Wine
set -euo pipefail
cd "$(dirname "$0")/.."

mode=/s
case "${1:-}" in
  --settings) mode=/c ;;
  --native) mode=native ;;
  '') ;;
  *) echo "usage: scripts/run.sh [--settings | --native]" >&2; exit 2 ;;
esac
source scripts/setup.sh
jobs=$(nproc)

# The demo laid out for the screen ($1, the folder the files are read from as the saver
# names it, defaults to the folder itself), and settings that play it.
make_demo_and_settings() {
  local install_dir=${1:-$demo}
  size=$({ xdpyinfo 2>/dev/null || true; } | awk '/dimensions:/ && !found {print $2; found = 1}')
  size=${size:-1280x1024}
  echo "Drawing the demo for a ${size} screen into $demo"
  python3 tools/demo/make_demo.py --tool build/linux/tools/kelna-tool --out "$demo" \
    --install-dir "$install_dir" --size "$size"
  export KELNA_CONFIG_DIR=$PWD/build/run-settings
  mkdir -p "$KELNA_CONFIG_DIR"
  local separator=/
  [ "$install_dir" = "$demo" ] || separator='\'
  printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=%s\r\nBGMusicFile=%s\r\nBGImageMode=0\r\nBGMusicRepeat=1\r\nWaveSound=1\r\nAnimationFile=%s\r\n' \
    "$install_dir${separator}background.bmp" "$install_dir${separator}music.mid" \
    "$install_dir${separator}demo.anm" >"$KELNA_CONFIG_DIR/CONTROL.INI"
}
# Screenshots of the root window after 2, 4 and 6 seconds as $shots/NAME-Ns.png, then the
# program with process id PID ends.
screenshots_then_stop() {
  local pid=$1 name=$2
  mkdir -p "$shots"
  for second in 2 4 6; do
    sleep 2
    import -window root "$shots/$name-${second}s.png"
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
demo=$PWD/build/run-demo
shots=$PWD/build/screenshots

if [ "$mode" = native ]; then
  kelna_install_missing native
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target kelna kelna-tool -j "$jobs"
  if [ -n "${DISPLAY:-}" ]; then
    make_demo_and_settings
    exec build/linux/linux/kelna
  fi
  for n in $(seq 150 199); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  sleep 1
  make_demo_and_settings
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  build/linux/linux/kelna --verbose &
  player=$!
  screenshots_then_stop "$player" native
  echo "Screenshots of the native player: $shots"
  exit 0
fi

kelna_install_missing

cmake --preset linux >/dev/null
cmake --build --preset linux --target kelna-tool -j "$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows --target kelna -j "$jobs"

prefix=$PWD/build/windows/wineprefix
had_display=${DISPLAY:-}
scripts/wine/wine-session start "$prefix"
eval "$(scripts/wine/wine-session env "$prefix")"
[ -n "$had_display" ] || trap 'scripts/wine/wine-session stop "$prefix"' EXIT

# The demo in a folder the saver reads through Wine's Z: drive.
make_demo_and_settings "Z:$(echo "$demo" | tr / '\\')"
saver=build/windows/bin/kelna.scr

if [ -n "$had_display" ]; then
  exec /usr/lib/wine/wine64 "$saver" "$mode"
fi

if [ "$mode" = /c ]; then
  /usr/lib/wine/wine64 "$saver" /c </dev/null >/dev/null 2>&1 &
  settings_pid=$!
  sleep 4
  mkdir -p "$shots"
  import -window root "$shots/settings.png"
  kill "$settings_pid" 2>/dev/null || true
  wait "$settings_pid" 2>/dev/null || true
  echo "Screenshot of the settings window: $shots/settings.png"
  exit 0
fi
/usr/lib/wine/wine64 "$saver" /s </dev/null >/dev/null 2>&1 &
screenshots_then_stop $! saver
echo "Screenshots of the running saver: $shots"
