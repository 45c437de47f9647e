#!/usr/bin/env bash
# Measures what the running saver costs: CPU seconds per minute on the demo at 1920 × 1080
# on a private Xvfb, with the X server's share: kelna.scr under Wine (and wineserver's
# share), or with --native the native player kelna (sounds and music mixed by SDL's dummy
# audio driver, as no sound card is needed).
#
#   scripts/measure-cpu.sh [--native] [SECONDS]   (default 60; the figures are scaled to one minute)
#
# Builds nothing: run scripts/run.sh (--native) or scripts/test.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
native=false
[ "${1:-}" = --native ] && { native=true; shift; }
seconds=${1:-60}
saver=${KELNA_SAVER:-build/windows/bin/kelna.scr}  # KELNA_SAVER: another build to compare
player=build/linux/linux/kelna
tool=build/linux/tools/kelna-tool
if $native; then program=$player; else program=$saver; fi
[ -x "$tool" ] && [ -f "$program" ] || { echo "build first (scripts/run.sh)" >&2; exit 1; }

# CPU seconds (user + system) a process has used so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

for n in $(seq 160 199); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# A Wine session of our own, on our own X server, ended with it: the tests' shared session
# must never be left pointing at a display that is gone.
prefix=$PWD/build/measure-cpu/wineprefix
stop() {
  $native || tests/wine/wine-session stop "$prefix" || true
  for pid in ${launcher:-} ${process:-} "$xvfb"; do kill "$pid" 2>/dev/null || true; done
}
trap stop EXIT
export DISPLAY=":$n"
sleep 1
if ! $native; then
  mkdir -p "$(dirname "$prefix")"
  tests/wine/wine-session start "$prefix"
  eval "$(tests/wine/wine-session env "$prefix")"
  export DISPLAY=":$n"
fi

# The demo, and settings that play it with a centred background, music and sounds.
demo=$PWD/build/measure-demo
install_dir=$demo separator=/
$native || { install_dir="Z:$(echo "$demo" | tr / '\\')"; separator='\'; }
# Drawing the demo takes a while: it is drawn again when the drawing script or the tool
# changed, or when it was drawn for the other program.
if [ ! -f "$demo/demo.anm" ] || [ tools/demo/make_demo.py -nt "$demo/demo.anm" ] ||
   [ "$tool" -nt "$demo/demo.anm" ] || [ "$(cat "$demo/drawn-for" 2>/dev/null)" != "$install_dir" ]; then
  python3 tools/demo/make_demo.py --tool "$tool" --out "$demo" --install-dir "$install_dir" \
    --size 1920x1080 >/dev/null
  echo "$install_dir" >"$demo/drawn-for"
fi
export KELNA_CONFIG_DIR=$demo/settings
mkdir -p "$KELNA_CONFIG_DIR"
printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=%s\r\nBGMusicFile=%s\r\nBGImageMode=0\r\nBGMusicRepeat=1\r\nWaveSound=1\r\nAnimationFile=%s\r\n' \
  "$install_dir${separator}background.bmp" "$install_dir${separator}music.mid" \
  "$install_dir${separator}demo.anm" >"$KELNA_CONFIG_DIR/CONTROL.INI"

if $native; then
  SDL_AUDIODRIVER=dummy "$player" </dev/null >/dev/null 2>"$demo/player.err" &
  process=$!
  sleep 5  # start-up and the first ticks are not the steady state
  server=$xvfb  # no third process: counted twice, shown once
else
  /usr/lib/wine/wine64 "$saver" /s </dev/null >/dev/null 2>&1 &
  launcher=$!
  sleep 5
  process=$(pgrep -f "$(basename "$saver") /s" | head -1)
  # The prefix's own wineserver (other prefixes may have theirs): it works in a folder
  # server-DEVICE-INODE named after the prefix.
  server_dir=server-$(printf '%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
  for server in $(pgrep wineserver); do [[ "$(readlink "/proc/$server/cwd")" == */"$server_dir" ]] && break; done
fi
before=("$(cpu_of "$process")" "$(cpu_of "$xvfb")" "$(cpu_of "$server")")
sleep "$seconds"
after=("$(cpu_of "$process")" "$(cpu_of "$xvfb")" "$(cpu_of "$server")")
awk -v s="$seconds" -v native="$native" -v p0="${before[0]}" -v p1="${after[0]}" \
    -v x0="${before[1]}" -v x1="${after[1]}" -v w0="${before[2]}" -v w1="${after[2]}" 'BEGIN {
  f = 60 / s
  if (native == "true")
    printf "CPU seconds per minute at 1920x1080: kelna %.2f, Xvfb %.2f\n", (p1 - p0) * f, (x1 - x0) * f
  else
    printf "CPU seconds per minute at 1920x1080: kelna.scr %.2f, Xvfb %.2f, wineserver %.2f\n",
           (p1 - p0) * f, (x1 - x0) * f, (w1 - w0) * f
}'
