#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, ASan, UBSan) and runs each of them,
# seeded with the BMP suite (tests/data/bmpsuite/{g,q,b}).
#
#   scripts/fuzz.sh [SECONDS]   fuzzes each target for SECONDS, 600 unless given
#   scripts/fuzz.sh --smoke     runs each target over its seeds only, once each (for CI)
#
# What the fuzzers find grows in build/fuzz/corpus/TARGET; a crashing input is saved in
# build/fuzz/crashes/ and the script ends with a failure. Run one again with
#   build/fuzz/tests/fuzz/TARGET build/fuzz/crashes/FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
smoke=false
case "${1:-}" in
  --smoke) smoke=true ;;
  '') ;;
  *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS | --smoke]" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

build=build/fuzz
seeds=$build/seeds
rm -rf "$seeds"
targets=(fuzz_bmp_file fuzz_dib_decode fuzz_bmp_stream fuzz_object_records fuzz_scene_files fuzz_png)
for target in "${targets[@]}"; do mkdir -p "$seeds/$target"; done
mkdir -p "$build/crashes"

# fuzz_bmp_file takes whole files. fuzz_dib_decode takes the size of the BITMAPINFO part
# (two bytes, little-endian), then the file without its 14-byte header: for a seed, the
# part runs up to bfOffBits.
le16() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))"; }
for file in tests/data/bmpsuite/{g,q,b}/*.bmp; do
  name=$(basename "$(dirname "$file")")-$(basename "$file")
  cp "$file" "$seeds/fuzz_bmp_file/$name"
  size=$(stat -c %s "$file")
  offset=$(od -An -tu4 -j10 -N4 "$file" | tr -d ' ')
  info=$(( offset >= 14 && offset <= size ? offset - 14 : size ))
  { le16 "$info"; tail -c +15 "$file"; } >"$seeds/fuzz_dib_decode/$name"
  cp "$file" "$seeds/fuzz_bmp_stream/$name"  # a BMP file is a stream record as it stands
done
# Object and animation files: the demo's, when the native build has made it.
for file in build/linux/demo/*.foe; do
  [ -f "$file" ] || continue
  tail -c +35 "$file" >"$seeds/fuzz_object_records/$(basename "$file")"  # the records alone
  cp "$file" "$seeds/fuzz_scene_files/"
done
cp tests/data/png/*.png "$seeds/fuzz_png/"  # one of each colour type
for file in build/linux/demo/*.anm; do [ -f "$file" ] && cp "$file" "$seeds/fuzz_scene_files/"; done

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  options=(-artifact_prefix="$build/crashes/$target-" -max_len=131072 -print_final_stats=1)
  if $smoke; then
    echo "== $target: the seeds only"
    "$build/tests/fuzz/$target" "${options[@]}" -runs=0 "$seeds/$target" || status=1
  else
    echo "== $target: $seconds seconds"
    "$build/tests/fuzz/$target" "${options[@]}" -max_total_time="$seconds" "$corpus" "$seeds/$target" || status=1
  fi
done
exit $status
