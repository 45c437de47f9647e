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

prefix=$PWD/build/measure-cpu/wineprefix
# shellcheck source=scripts/players.sh
source scripts/players.sh
trap stop_all EXIT

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

# kelna.scr's figures: the program, its Xvfb, wineserver.
measure_wine() {
  start_wine_saver
  measure "$process" "$xvfb" "$server"
  stop_all
}

# The native player's figures: the program, its X server.
measure_native() {
  start_native_player
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
