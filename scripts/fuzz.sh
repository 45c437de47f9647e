#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, ASan, UBSan) and runs them.
#
#   scripts/fuzz.sh [--jobs N] [SECONDS] [TARGET...]
#       fuzzes each target (all unless named) for SECONDS of wall time (600 unless given),
#       with N processes at once (1 unless given; `nproc` uses every core)
#   scripts/fuzz.sh --smoke     runs each target over its seeds and its kept corpus, once
#                               each input (for CI)
#   scripts/fuzz.sh --merge     minimises each grown corpus into the kept one,
#                               tests/data/fuzz/TARGET, which the smoke run replays
#
# Seeds: the BMP suite (tests/data/bmpsuite/{g,q,b}), the PNGs of tests/data/png, the demo's
# files once the native build has drawn them, a few settings files and manifests written
# here; tests/fuzz/TARGET.dict, where there is one, is the target's dictionary. What
# the fuzzers find grows in build/fuzz/corpus/TARGET; a crashing input is saved in
# build/fuzz/crashes/ and the script ends with a failure. Each run ends with the wall and
# CPU time it took. Run one again with
#   build/fuzz/tests/fuzz/TARGET build/fuzz/crashes/FILE
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(fuzz_bmp_file fuzz_dib_decode fuzz_bmp_stream fuzz_object_records fuzz_scene_files fuzz_png
             fuzz_profile fuzz_wave fuzz_round_trip fuzz_manifests)
seconds=600
mode=fuzz
jobs=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) mode=smoke ;;
    --merge) mode=merge ;;
    --jobs) jobs=${2:?--jobs needs a number}; shift ;;
    fuzz_*) targets+=("$1") ;;
    *[!0-9]* | '') echo "usage: scripts/fuzz.sh [--jobs N] [SECONDS | --smoke | --merge] [TARGET...]" >&2; exit 2 ;;
    *) seconds=$1 ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

build=$PWD/build/fuzz
seeds=$build/seeds
rm -rf "$seeds"
for target in "${all_targets[@]}"; do mkdir -p "$seeds/$target"; done
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
  cp "$file" "$seeds/fuzz_round_trip/"
done
for file in build/linux/demo/*.wav; do [ -f "$file" ] && cp "$file" "$seeds/fuzz_wave/"; done
# Settings files: the saver's section, quotes, a second section, CR LF, no line end at the end.
printf '[Screen Saver.Vesk]\r\nIntervalTime=50\r\nBGImageFile=(\x82\xc8\x82\xb5)\r\nBGImageMode=1\r\n' \
  >"$seeds/fuzz_profile/saver.ini"
printf '; comment\n[other]\nWaveSound="0"\n\n[SCREEN SAVER.VESK]\nAnimationFile=C:\\a.anm' >"$seeds/fuzz_profile/mixed.ini"
cp tests/data/png/*.png "$seeds/fuzz_png/"  # one of each colour type
for file in build/linux/demo/*.anm; do
  [ -f "$file" ] || continue
  cp "$file" "$seeds/fuzz_scene_files/"
  cp "$file" "$seeds/fuzz_round_trip/"
done

# Manifests: a flags byte (bit 0: the rest is JSON text, otherwise CBOR) and the alpha
# threshold, then the demo's sheet manifests, its sheet export and one of every kind of frame,
# as text and as CBOR.
manifests=$seeds/fuzz_manifests
cp tools/demo/sheet/{twinkle,scene,twinkle-sheet}.json "$manifests/"
cat >"$manifests/frames.json" <<'JSON'
{"objects": [{"name": "a", "behaviour": 3, "imageWidth": 8, "imageHeight": 8,
  "frames": [{"image": "pal8.bmp", "mask": "pal8.bmp"}, {"image": "previous", "mask": null},
             {"png": "rgba8.png", "palette": true}, {"png": "grey16.png"}],
  "locations": [[1, 2], [-3, 4]], "sound": {"file": "blip.wav", "fileName": "b.wav", "playFrame": 1}},
 {"frames": {"sheetJson": "twinkle-sheet.json", "first": 1, "count": 2}}]}
JSON
python3 - "$manifests" <<'PY'
import json, pathlib, struct, sys
def cbor(value):  # the types JSON has, in CBOR's shortest heads
    def head(major, n):
        if n < 24: return bytes([major << 5 | n])
        for extra, code in ((1, 24), (2, 25), (4, 26), (8, 27)):
            if n < 1 << (8 * extra): return bytes([major << 5 | code]) + n.to_bytes(extra, 'big')
    if value is None: return b'\xf6'
    if isinstance(value, bool): return b'\xf5' if value else b'\xf4'
    if isinstance(value, int): return head(0, value) if value >= 0 else head(1, -1 - value)
    if isinstance(value, float): return b'\xfb' + struct.pack('>d', value)
    if isinstance(value, str): return head(3, len(value.encode())) + value.encode()
    if isinstance(value, list): return head(4, len(value)) + b''.join(map(cbor, value))
    return head(5, len(value)) + b''.join(cbor(k) + cbor(v) for k, v in value.items())
for path in list(pathlib.Path(sys.argv[1]).glob('*.json')):
    text = path.read_bytes()
    path.with_suffix('.text').write_bytes(b'\x01\x80' + text)
    path.with_suffix('.cbor').write_bytes(b'\x06\x80' + cbor(json.loads(text)))
    path.unlink()
PY

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  kept=$PWD/tests/data/fuzz/$target
  mkdir -p "$corpus"
  inputs=("$seeds/$target")
  [ -d "$kept" ] && inputs+=("$kept")
  options=(-artifact_prefix="$build/crashes/$target-" -max_len=131072 -print_final_stats=1)
  [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="$PWD/tests/fuzz/$target.dict")
  case $mode in
    smoke)
      echo "== $target: the seeds and the kept corpus only"
      "$build/tests/fuzz/$target" "${options[@]}" -runs=0 "${inputs[@]}" || status=1 ;;
    merge)
      echo "== $target: the grown corpus minimised into $kept"
      mkdir -p "$kept"
      # Kept for CI to replay what was reached: edges alone (no hit counts) and inputs cut
      # to 1 kB keep a corpus of a few hundred files.
      "$build/tests/fuzz/$target" "${options[@]}" -use_counters=0 -max_len=1024 -merge=1 \
        "$kept" "$corpus" "$seeds/$target" || status=1 ;;
    fuzz)
      echo "== $target: $seconds seconds, $jobs at once"
      TIMEFORMAT="== $target: %0R s wall, %0U s user and %0S s system CPU"
      time {
      if [ "$jobs" -gt 1 ]; then
        # Each job writes fuzz-N.log; the new inputs of all of them land in the one corpus.
        (cd "$build" && "$build/tests/fuzz/$target" "${options[@]}" -max_total_time="$seconds" -jobs="$jobs" \
           -workers="$jobs" "$corpus" "${inputs[@]}") || status=1
        mv "$build"/fuzz-*.log "$build/crashes/" 2>/dev/null || true
      else
        "$build/tests/fuzz/$target" "${options[@]}" -max_total_time="$seconds" "$corpus" "${inputs[@]}" || status=1
      fi
      } ;;
  esac
done
exit $status
