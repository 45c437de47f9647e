#!/usr/bin/env bash
# Measures what the running saver costs: CPU seconds per minute on the demo at 1920 × 1080
# on a private Xvfb, with the X server's share: kelna.scr under Wine (and wineserver's
# share), with --native the native player kelna (sounds and music mixed by SDL's dummy
# audio driver, as no sound card is needed), or with --compare both in alternating rounds of
# one run, with the medians over the rounds and the native player's figures over Wine's.
# With --wayland the native player runs on a private headless sway instead of an Xvfb, and
# the compositor's share is counted as its display server's.
#
#   scripts/measure-cpu.sh [--native | --compare [--rounds N]] [--wayland] [SECONDS]
#     SECONDS: how long each program is measured (default 60); the figures are per minute.
#     KELNA_SAVER=FILE, KELNA_PLAYER=FILE: other builds to measure;
#     KELNA_OPTIONS="--no-music": options for the native player.
#
# Builds nothing: run scripts/run.sh (--native) or scripts/test.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=wine rounds=3 native_display=Xvfb
while [ $# -gt 0 ]; do
  case $1 in
    --native) mode=native ;;
    --wayland) native_display=sway ;;
    --compare) mode=compare ;;
    --rounds) rounds=$2; shift ;;
    *) break ;;
  esac
  shift
done
seconds=${1:-60}
saver=${KELNA_SAVER:-build/windows/bin/kelna.scr}
player=${KELNA_PLAYER:-build/linux/linux/kelna}
tool=build/linux/tools/kelna-tool
[ -x "$tool" ] || { echo "build first (scripts/run.sh)" >&2; exit 1; }
[ "$mode" = native ] || [ -f "$saver" ] || { echo "build kelna.scr first (scripts/run.sh)" >&2; exit 1; }
[ "$mode" = wine ] || [ -x "$player" ] || { echo "build kelna first (scripts/run.sh --native)" >&2; exit 1; }

# CPU seconds (user + system) a process has used so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

# What is left running is ended on the way out, whatever happens.
pids=()
prefix=$PWD/build/measure-cpu/wineprefix
session=false
stop_all() {
  if $session; then scripts/wine/wine-session stop "$prefix" || true; session=false; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
  for folder in "${folders[@]}"; do rm -rf "$folder" "$folder.log"; done
  folders=()
}
folders=()
trap stop_all EXIT

# A private Xvfb, the same for both programs: its pid in $xvfb, DISPLAY set to it.
start_xvfb() {
  local n
  for n in $(seq 160 199); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  pids+=("$xvfb")
  export DISPLAY=":$n"
  sleep 1
}

# Where the native player draws: an Xvfb, or a headless sway, whose pid ($display_server)
# is counted as its display server's share; $native_env is what the player needs to reach it.
start_native_display() {
  if [ "$native_display" = sway ]; then start_sway; return; fi
  start_xvfb
  display_server=$xvfb
  native_env=("DISPLAY=$DISPLAY")
}

# sway on wlroots' headless backend with its software renderer and one 1920 × 1080 output;
# no Xwayland, no input devices. sway will not run as root: then it runs as nobody, in a
# runtime folder of its own that root's clients reach too.
start_sway() {
  local run socket as=()
  run=$(mktemp -d /tmp/kelna-measure-sway.XXXXXX)
  folders+=("$run")
  chmod 711 "$run"
  printf 'xwayland disable\noutput * bg #000000 solid_color\noutput HEADLESS-1 resolution 1920x1080 position 0 0\n' \
    >"$run/config"
  if [ "$(id -u)" = 0 ]; then
    chown nobody "$run"
    as=(setpriv "--reuid=$(id -u nobody)" "--regid=$(id -g nobody)" --clear-groups)
  fi
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$run" HOME="$run" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=1 \
    "${as[@]}" sway -c "$run/config" >"$run.log" 2>&1 &
  display_server=$!
  pids+=("$display_server")
  for _ in $(seq 100); do
    socket=$(find "$run" -maxdepth 1 -name 'wayland-*' ! -name '*.lock' -printf '%f\n' | head -1)
    [ -n "$socket" ] && break
    sleep 0.1
  done
  [ -n "$socket" ] || { echo "sway did not start:" >&2; cat "$run.log" >&2; exit 1; }
  sleep 1  # its output in place
  native_env=(-u DISPLAY "XDG_RUNTIME_DIR=$run" "WAYLAND_DISPLAY=$socket")
}

# The demo, and settings that play it with a centred background, music and sounds, for
# "native" or "wine" (whose settings name the files by drive Z:). Drawing the demo takes a
# while: it is drawn again only when the drawing script or the tool changed.
prepare_demo() {
  local for=$1 separator=/
  demo=$PWD/build/measure-demo/$for
  install_dir=$demo
  [ "$for" = wine ] && { install_dir="Z:$(echo "$demo" | tr / '\\')"; separator='\'; }
  if [ ! -f "$demo/demo.anm" ] || [ tools/demo/make_demo.py -nt "$demo/demo.anm" ] ||
     [ "$tool" -nt "$demo/demo.anm" ]; then
    python3 tools/demo/make_demo.py --tool "$tool" --out "$demo" --install-dir "$install_dir" \
      --size 1920x1080 >/dev/null
  fi
  export KELNA_CONFIG_DIR=$demo/settings
  mkdir -p "$KELNA_CONFIG_DIR"
  printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=%s\r\nBGMusicFile=%s\r\nBGImageMode=0\r\nBGMusicRepeat=1\r\nWaveSound=1\r\nAnimationFile=%s\r\n' \
    "$install_dir${separator}background.bmp" "$install_dir${separator}music.mid" \
    "$install_dir${separator}demo.anm" >"$KELNA_CONFIG_DIR/CONTROL.INI"
}

# CPU seconds per minute that each of the pids given used over $seconds, into $figures.
measure() {
  local before=() after=() pid
  sleep 5  # start-up and the first ticks are not the steady state
  for pid in "$@"; do before+=("$(cpu_of "$pid")"); done
  sleep "$seconds"
  for pid in "$@"; do after+=("$(cpu_of "$pid")"); done
  figures=$(for i in "${!before[@]}"; do echo "${before[$i]} ${after[$i]}"; done |
            awk -v s="$seconds" '{ printf "%s%.2f", (NR > 1 ? " " : ""), ($2 - $1) * 60 / s }')
}

# kelna.scr /s under Wine, in a Wine session of its own on its own X server, ended with it:
# the tests' shared session must never be left pointing at a display that is gone.
# $figures: the program, its Xvfb, wineserver.
measure_wine() {
  local launcher process server server_dir
  prepare_demo wine
  start_xvfb
  mkdir -p "$(dirname "$prefix")"
  scripts/wine/wine-session start "$prefix"
  session=true
  local display=$DISPLAY
  eval "$(scripts/wine/wine-session env "$prefix")"
  export DISPLAY=$display
  /usr/lib/wine/wine64 "$saver" /s </dev/null >/dev/null 2>&1 &
  launcher=$!
  pids+=("$launcher")
  sleep 5
  process=$(pgrep -f "$(basename "$saver") /s" | head -1)
  pids+=("$process")
  # The prefix's own wineserver (other prefixes may have theirs): it works in a folder
  # server-DEVICE-INODE named after the prefix.
  server_dir=server-$(printf '%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
  for server in $(pgrep wineserver); do [[ "$(readlink "/proc/$server/cwd")" == */"$server_dir" ]] && break; done
  measure "$process" "$xvfb" "$server"
  stop_all
}

# The native kelna with SDL's dummy audio driver. $figures: the program, its X server.
measure_native() {
  local process
  prepare_demo native
  start_native_display
  # shellcheck disable=SC2086  # KELNA_OPTIONS is a list of options
  env "${native_env[@]}" SDL_AUDIODRIVER=dummy "$player" ${KELNA_OPTIONS:-} </dev/null >/dev/null 2>"$demo/player.err" &
  process=$!
  pids+=("$process")
  measure "$process" "$display_server"
  stop_all
}

case $mode in
  wine)
    measure_wine
    read -r p x w <<<"$figures"
    echo "CPU seconds per minute at 1920x1080: kelna.scr $p, Xvfb $x, wineserver $w" ;;
  native)
    measure_native
    read -r p x <<<"$figures"
    echo "CPU seconds per minute at 1920x1080: kelna $p, $native_display $x" ;;
  compare)
    echo "CPU seconds per minute at 1920x1080, $rounds rounds of $seconds s, Wine then native in each:"
    echo "(native/Wine: the processes; totals: kelna + its $native_display over kelna.scr + its Xvfb + wineserver)"
    printf '%-8s %9s %6s %10s %6s %6s %14s %12s\n' round kelna.scr Xvfb wineserver kelna "$native_display" \
      native/Wine totals
    rows=()
    for round in $(seq "$rounds"); do
      measure_wine
      wine=$figures
      measure_native
      row=$(echo "$wine $figures" | awk '{ printf "%s %.3f %.3f", $0, $4 / $1, ($4 + $5) / ($1 + $2 + $3) }')
      rows+=("$row")
      echo "$round $row" | awk '{ printf "%-8s %9.2f %6.2f %10.2f %6.2f %6.2f %14.2f %12.2f\n", $1, $2, $3, $4, $5, $6, $7, $8 }'
    done
    # The median of each column over the rounds.
    printf '%s\n' "${rows[@]}" | awk '
      { for (c = 1; c <= NF; ++c) v[c, NR] = $c }
      END {
        split("9 6 10 6 6 14 12", width)
        printf "%-8s", "median"
        for (c = 1; c <= 7; ++c) {
          for (r = 1; r <= NR; ++r) s[r] = v[c, r]
          for (i = 2; i <= NR; ++i) for (j = i; j > 1 && s[j - 1] > s[j]; --j) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
          printf " %" width[c] ".2f", NR % 2 ? s[(NR + 1) / 2] : (s[NR / 2] + s[NR / 2 + 1]) / 2
        }
        print ""
      }' ;;
esac
