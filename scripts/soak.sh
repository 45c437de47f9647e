#!/usr/bin/env bash
# Runs the saver for MINUTES on the demo at 1920 × 1080 with music repeating and samples,
# once a minute, what it holds and what it costs, so that a leak or a slowdown shows as a
# trend: kelna.scr /s under Wine (resident memory, GDI objects, windows, Linux file
# descriptors, CPU seconds in the minute of the program, its Xvfb and wineserver), the native
# kelna (resident memory, file descriptors, CPU of the program and its X server), or both at
# once, each on an X server of its own (the default).
#
#   scripts/soak.sh [--wine | --native] [MINUTES]     (MINUTES: 60 unless given)
#
# Each run writes its table to build/soak/wine.tsv or native.tsv as it goes and ends with its
# first minute against its last. Builds nothing: run scripts/run.sh and scripts/run.sh
# --native (or scripts/test.sh) first. Wine's own GetGuiResources is a stub, so GDI objects
# and windows are counted by scripts/wine/gui-objects.cpp, built here with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=both
case ${1:-} in
  --wine) mode=wine; shift ;;
  --native) mode=native; shift ;;
esac
minutes=${1:-60}
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "usage: scripts/soak.sh [--wine | --native] [MINUTES]" >&2; exit 2; }
mkdir -p build/soak

if [ "$mode" = both ]; then
  # Two runs of this script; the second starts once the first has its X server.
  "$0" --wine "$minutes" & wine_run=$!
  sleep 20
  "$0" --native "$minutes" & native_run=$!
  status=0
  wait "$wine_run" || status=1
  wait "$native_run" || status=1
  exit $status
fi

saver=${KELNA_SAVER:-build/windows/bin/kelna.scr}
player=${KELNA_PLAYER:-build/linux/linux/kelna}
tool=build/linux/tools/kelna-tool
native_display=Xvfb
[ -x "$tool" ] || { echo "build first (scripts/run.sh --native)" >&2; exit 1; }
[ "$mode" = native ] || [ -f "$saver" ] || { echo "build kelna.scr first (scripts/run.sh)" >&2; exit 1; }
[ "$mode" = wine ] || [ -x "$player" ] || { echo "build kelna first (scripts/run.sh --native)" >&2; exit 1; }
prefix=$PWD/build/soak/wineprefix
# shellcheck source=scripts/players.sh
source scripts/players.sh
trap stop_all EXIT

resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
descriptors() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }

counter=build/soak/gui-objects.exe
if [ "$mode" = wine ]; then
  if [ ! -f "$counter" ] || [ scripts/wine/gui-objects.cpp -nt "$counter" ]; then
    x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -o "$counter" scripts/wine/gui-objects.cpp \
      -lntdll -lgdi32 -luser32
  fi
  start_wine_saver
  # The count is trusted only if it sees 100 brushes of its own come and go.
  /usr/lib/wine/wine64 "$counter" --self-check >/dev/null 2>&1 ||
    { echo "gui-objects.exe cannot count GDI objects in this Wine" >&2; exit 1; }
  watched=("$process" "$xvfb" "$server")
  columns="minute\trss_kib\tgdi\twindows\tfds\tcpu_kelna.scr\tcpu_Xvfb\tcpu_wineserver"
else
  start_native_player
  watched=("$process" "$display_server")
  columns="minute\trss_kib\tfds\tcpu_kelna\tcpu_Xvfb"
fi

table=build/soak/$mode.tsv
echo -e "$columns" >"$table"
echo "== $mode: $minutes minutes, a row a minute in $table"
previous=()
for pid in "${watched[@]}"; do previous+=("$(cpu_of "$pid")"); done
for minute in $(seq "$minutes"); do
  sleep 60
  kill -0 "$process" 2>/dev/null || { echo "the $mode saver ended in minute $minute" >&2; exit 1; }
  row="$minute\t$(resident_kib "$process")"
  if [ "$mode" = wine ]; then
    read -r gdi windows < <(/usr/lib/wine/wine64 "$counter" "$(basename "$saver")" 2>/dev/null || echo "? ?")
    row+="\t$gdi\t$windows"
  fi
  row+="\t$(descriptors "$process")"
  for i in "${!watched[@]}"; do
    now=$(cpu_of "${watched[$i]}")
    row+="\t$(awk -v a="${previous[$i]}" -v b="$now" 'BEGIN { printf "%.2f", b - a }')"
    previous[i]=$now
  done
  echo -e "$row" >>"$table"
done
echo "== $mode: the first minute and the last"
awk -F'\t' 'NR == 1 || NR == 2 || NR == '"$((minutes + 1))"' { print }' "$table" | column -t
