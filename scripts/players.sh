# What scripts/measure-cpu.sh and scripts/soak.sh share: the demo drawn at 1920 × 1080 with
# settings that play it with a centred background, music repeating and sounds; a private X
# server (or headless sway) for each run; kelna.scr /s in a Wine session of its own and the
# native kelna started on it; and everything they started ended on the way out.
#
# Sourced from the project's root, after setting prefix (the Wine prefix), saver, player,
# tool and native_display (Xvfb or sway); the sourcing script runs `trap stop_all EXIT`.

# CPU seconds (user + system) a process has used so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

# What is left running is ended on the way out, whatever happens.
pids=()
prefix=${prefix:?set prefix, the Wine prefix, before sourcing}
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

# kelna.scr /s under Wine, in a Wine session of its own on its own X server, ended with
# stop_all: the tests' shared session must never be left pointing at a display that is gone.
# $process: the program, $xvfb: its X server, $server: wineserver.
start_wine_saver() {
  local launcher server_dir
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
  # The saver of this session's prefix: another run's saver may be running beside it.
  process=""
  for candidate in $(pgrep -f "$(basename "$saver") /s"); do
    tr '\0' '\n' <"/proc/$candidate/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && process=$candidate
  done
  [ -n "$process" ] || { echo "kelna.scr did not start under Wine" >&2; exit 1; }
  pids+=("$process")
  # The prefix's own wineserver (other prefixes may have theirs): it works in a folder
  # server-DEVICE-INODE named after the prefix.
  server_dir=server-$(printf '%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")
  for server in $(pgrep wineserver); do [[ "$(readlink "/proc/$server/cwd")" == */"$server_dir" ]] && break; done
}

# The native kelna with SDL's dummy audio driver. $process: the program, $display_server:
# its X server or compositor.
start_native_player() {
  prepare_demo native
  start_native_display
  # shellcheck disable=SC2086  # KELNA_OPTIONS is a list of options
  env "${native_env[@]}" SDL_AUDIODRIVER=dummy "$player" ${KELNA_OPTIONS:-} </dev/null >/dev/null 2>"$demo/player.err" &
  process=$!
  pids+=("$process")
}
