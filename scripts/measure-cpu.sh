#!/usr/bin/env bash
# Measures what the running saver costs: CPU seconds per minute of kelna.scr on the demo at
# 1920 × 1080 under Wine, on a private Xvfb, with the X server's and wineserver's share.
#
#   scripts/measure-cpu.sh [SECONDS]   (default 60; the figures are scaled to one minute)
#
# Builds nothing: run scripts/run.sh or scripts/test.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
saver=${KELNA_SAVER:-build/windows/bin/kelna.scr}  # KELNA_SAVER: another build to compare
tool=build/linux/tools/kelna-tool
[ -x "$tool" ] && [ -f "$saver" ] || { echo "build first (scripts/run.sh)" >&2; exit 1; }

# CPU seconds (user + system) a process has used so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

for n in $(seq 160 199); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
prefix=$PWD/build/windows/wineprefix
export DISPLAY=":$n"
tests/wine/wine-session start "$prefix"
eval "$(tests/wine/wine-session env "$prefix")"
export DISPLAY=":$n"
trap 'kill "$xvfb" 2>/dev/null || true; kill "${saver_pid:-0}" 2>/dev/null || true' EXIT

demo=$PWD/build/measure-demo
windows_demo="Z:$(echo "$demo" | tr / '\\')"
# Drawing the demo takes a while: it is drawn again only when the drawing script or the tool changed.
if [ ! -f "$demo/demo.anm" ] || [ tools/demo/make_demo.py -nt "$demo/demo.anm" ] || [ "$tool" -nt "$demo/demo.anm" ]; then
  python3 tools/demo/make_demo.py --tool "$tool" --out "$demo" --install-dir "$windows_demo" \
    --size 1920x1080 >/dev/null
fi
export KELNA_CONFIG_DIR=$demo/settings
mkdir -p "$KELNA_CONFIG_DIR"
printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=%s\r\nBGMusicFile=%s\r\nBGImageMode=0\r\nBGMusicRepeat=1\r\nWaveSound=1\r\nAnimationFile=%s\r\n' \
  "$windows_demo\\background.bmp" "$windows_demo\\music.mid" "$windows_demo\\demo.anm" \
  >"$KELNA_CONFIG_DIR/CONTROL.INI"

/usr/lib/wine/wine64 "$saver" /s </dev/null >/dev/null 2>&1 &
saver_pid=$!
sleep 5  # start-up and the first ticks are not the steady state
process=$(pgrep -f "$(basename "$saver") /s" | head -1)
# The prefix's own wineserver (other prefixes may have theirs): it works in a folder
# server-DEVICE-INODE named after the prefix.
server_dir=server-$(printf '%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
for server in $(pgrep wineserver); do [[ "$(readlink "/proc/$server/cwd")" == */"$server_dir" ]] && break; done
before=("$(cpu_of "$process")" "$(cpu_of "$xvfb")" "$(cpu_of "$server")")
sleep "$seconds"
after=("$(cpu_of "$process")" "$(cpu_of "$xvfb")" "$(cpu_of "$server")")
awk -v s="$seconds" -v p0="${before[0]}" -v p1="${after[0]}" -v x0="${before[1]}" -v x1="${after[1]}" \
    -v w0="${before[2]}" -v w1="${after[2]}" 'BEGIN {
  f = 60 / s
  printf "CPU seconds per minute at 1920x1080: kelna.scr %.2f, Xvfb %.2f, wineserver %.2f\n",
         (p1 - p0) * f, (x1 - x0) * f, (w1 - w0) * f
}'
