#!/usr/bin/env bash
# Builds the release packages into build/packages/ and checks them:
#   kelna-VERSION-windows-x64.zip  kelna.scr, kelna-tool.exe, README.txt and the demo
#   kelna_VERSION_amd64.deb        kelna (an XScreenSaver hack, also on the PATH),
#                                  kelna-tool, the demo in /usr/share/kelna, manual pages
# VERSION is the project's, from project() in CMakeLists.txt. The builds are the presets
# linux-release and windows-release (build/linux-release, build/windows-release); the
# checks: both programs print VERSION, lintian finds no errors in the .deb, and the ZIP
# holds its files.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
kelna_install_missing
kelna_install_missing packaging
jobs=$(nproc)
out=$PWD/build/packages

for preset in linux-release windows-release; do
  echo "== building $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The cross build cannot run kelna-tool: the native one draws the ZIP's demo, for a
# 1920x1080 screen. demo.anm stores C:\Kelna\demo\demo.foe; unpacked anywhere else the
# saver finds demo.foe beside demo.anm.
demo=build/windows-release/demo
rm -rf "$demo"
python3 tools/demo/make_demo.py --tool build/linux-release/tools/kelna-tool --out "$demo" \
  --install-dir 'C:\Kelna\demo' --size 1920x1080

rm -rf "$out"
for build in build/linux-release build/windows-release; do
  echo "== packaging $build"
  (cd "$build" && cpack -B "$out" >/dev/null)
done
rm -rf "$out/_CPack_Packages"

# --- Checks ---
version=$(sed -n 's/^project(Kelna VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$out/kelna_${version}_amd64.deb
zip=$out/kelna-${version}-windows-x64.zip
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
check_output() {  # check_output EXPECTED COMMAND...: the command prints EXPECTED
  local printed
  printed=$("${@:2}" 2>&1) || true
  [ "$printed" = "$1" ] || fail "'${*:2}' printed '$printed', not '$1'"
}

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
check_output "$version" dpkg-deb -f "$deb" Version
check_output "kelna $version" "$unpacked/usr/bin/kelna" --version
check_output "kelna-tool $version" "$unpacked/usr/bin/kelna-tool" version
for file in usr/share/kelna/demo.anm usr/share/xscreensaver/config/kelna.xml \
            usr/share/man/man6/kelna.6.gz usr/share/man/man1/kelna-tool.1.gz; do
  [ -f "$unpacked/$file" ] || fail "the .deb has no /$file"
done
echo "== lintian $deb"
lintian --fail-on error "$deb" || fail "lintian reports errors"

listing=$(python3 -m zipfile -l "$zip")
for file in kelna.scr kelna-tool.exe README.txt demo/demo.anm demo/demo.foe demo/background.bmp \
            demo/music.mid; do
  grep -q "kelna-${version}-windows-x64/$file " <<<"$listing" || fail "the ZIP has no $file"
done
# The saver's version resource holds the version as UTF-16 text, "1.2.3.0".
python3 - "$zip" "kelna-${version}-windows-x64/kelna.scr" "$version.0" <<'PYTHON' || fail "kelna.scr has no version $version.0"
import sys, zipfile
saver = zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])
sys.exit(0 if ("\0" + sys.argv[3] + "\0").encode("utf-16-le") in saver else 1)
PYTHON

[ "$failed" = 0 ] || exit 1
echo "Packages:"
ls -l "$out"
