#!/usr/bin/env bash
# Builds the release packages into build/packages/, checks them and writes SHA256SUMS:
#   kelna-VERSION-windows-x64.zip  the folder Kelna: kelna.scr, kelna-tool.exe, README.txt,
#                                  LICENSE.txt and the demo in demo/
#   kelna_VERSION_amd64.deb        kelna (an XScreenSaver hack, also on the PATH),
#                                  kelna-tool, the demo in /usr/share/kelna, manual pages
# VERSION is the project's, from project() in CMakeLists.txt. The builds are the presets
# linux-release and windows-release (build/linux-release, build/windows-release), hardened
# and reproducible: two runs on one commit, in any two folders, give the same bytes. Every
# time the packages hold is SOURCE_DATE_EPOCH: when not set, the release commit's time (or,
# outside git, the time NEWS.md last changed). The checks: both programs print VERSION;
# lintian finds neither errors nor warnings in the .deb; hardening-check finds every
# protection in both ELF programs; the ZIP holds its files; both .exe carry the version
# and the vendor, Windows' protections and no time stamp, and need only Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
kelna_install_missing
kelna_install_missing packaging
jobs=$(nproc)
out=$PWD/build/packages

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y NEWS.md)
fi
export SOURCE_DATE_EPOCH TZ=UTC
umask 022  # the packages' file modes do not depend on the caller's

for preset in linux-release windows-release; do
  echo "== building $preset"
  cmake --preset "$preset" >/dev/null  # again each time: the changelog takes the date here
  cmake --build --preset "$preset" -j "$jobs"
done

# The cross build cannot run kelna-tool: the native one draws the ZIP's demo, for every
# screen with its background tiled. demo.anm stores C:\Kelna\demo\demo.foe, where the ZIP unpacked into C:\
# puts it; unpacked anywhere else the saver finds demo.foe beside demo.anm.
demo=build/windows-release/demo
rm -rf "$demo"
python3 tools/demo/make_demo.py --tool build/linux-release/tools/kelna-tool --out "$demo" \
  --install-dir 'C:\Kelna\demo'

rm -rf "$out"
for build in build/linux-release build/windows-release; do
  echo "== packaging $build"
  (cd "$build" && cpack -B "$out" >/dev/null)
done
rm -rf "$out/_CPack_Packages"

version=$(sed -n 's/^project(Kelna VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=$out/kelna_${version}_amd64.deb
zip=$out/kelna-${version}-windows-x64.zip

# CPack's ZIP keeps each file's time and the builder's user: written again with the files
# in name order, SOURCE_DATE_EPOCH's time (as UTC; a ZIP cannot hold times before 1980) and
# fixed modes.
python3 - "$zip" <<'PYTHON'
import os, sys, time, zipfile
path = sys.argv[1]
when = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(path) as original:
    entries = {info.filename: original.read(info) for info in original.infolist() if not info.is_dir()}
folders = {name[:i + 1] for name in entries for i, c in enumerate(name) if c == "/"}
with zipfile.ZipFile(path + ".new", "w") as normal:
    for name in sorted(entries.keys() | folders):
        info = zipfile.ZipInfo(name, when)
        info.create_system = 3  # Unix, so that the modes below are read
        if name in folders:
            info.external_attr = (0o40755 << 16) | 0x10  # and MS-DOS's folder flag
            normal.writestr(info, b"")
        else:
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            normal.writestr(info, entries[name], compresslevel=9)
os.replace(path + ".new", path)
PYTHON

# --- Checks ---
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
check_output() {  # check_output EXPECTED COMMAND...: the command prints EXPECTED
  local printed
  printed=$("${@:2}" 2>&1) || true
  [ "$printed" = "$1" ] || fail "'${*:2}' printed '$printed', not '$1'"
}
member() {  # member NAME: a file of the ZIP, on standard output
  python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' "$zip" "$1"
}
cached() {  # cached BUILD NAME: a setting of that build's cache
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}
maintainer=$(cached build/linux-release KELNA_MAINTAINER)
vendor=$(cached build/windows-release KELNA_VENDOR)

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
check_output "$version" dpkg-deb -f "$deb" Version
check_output "$maintainer" dpkg-deb -f "$deb" Maintainer
check_output "$(cached build/linux-release KELNA_HOMEPAGE)" dpkg-deb -f "$deb" Homepage
check_output "kelna $version" "$unpacked/usr/bin/kelna" --version
check_output "kelna-tool $version" "$unpacked/usr/bin/kelna-tool" version
for file in usr/share/kelna/demo.anm usr/share/xscreensaver/config/kelna.xml \
            usr/share/man/man6/kelna.6.gz usr/share/man/man1/kelna-tool.1.gz; do
  [ -f "$unpacked/$file" ] || fail "the .deb has no /$file"
done
# kelna.xml is written at install time: it names the demo where the package puts it.
grep -q '/usr/share/kelna/demo.anm' "$unpacked/usr/share/xscreensaver/config/kelna.xml" ||
  fail "kelna.xml does not name /usr/share/kelna/demo.anm"
# The changelog made from NEWS.md: this version, signed by the maintainer, dated by the
# release commit.
changelog=$unpacked/changelog
zcat "$unpacked/usr/share/doc/kelna/changelog.gz" >"$changelog"
check_output "$version" dpkg-parsechangelog -l "$changelog" -S Version
check_output "$maintainer" dpkg-parsechangelog -l "$changelog" -S Maintainer
check_output "$SOURCE_DATE_EPOCH" dpkg-parsechangelog -l "$changelog" -S Timestamp
grep -q "^License: Expat" "$unpacked/usr/share/doc/kelna/copyright" \
  || fail "the .deb's copyright file names no Expat licence"
echo "== lintian $deb"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
# Control flow protection: our code is built with -fcf-protection (its functions start with
# endbr64), but the linker marks a program IBT and SHSTK only when every object in it is,
# and the C library's start files on Debian 12 (Scrt1.o, crti.o, crtn.o of glibc 2.36) are
# not; so hardening-check's look for the mark is left out, and the landing pads are counted.
for program in usr/libexec/xscreensaver/kelna usr/bin/kelna-tool; do
  echo "== hardening-check /$program"
  hardening-check --nocfprotection "$unpacked/$program" || fail "/$program lacks a protection"
  pads=$(objdump -d "$unpacked/$program" | grep -c endbr64) || true
  echo " endbr64 landing pads: $pads"
  [ "$pads" -gt 0 ] || fail "/$program has no endbr64"
done

listing=$(python3 -m zipfile -l "$zip")
for file in kelna.scr kelna-tool.exe README.txt LICENSE.txt demo/demo.anm demo/demo.foe \
            demo/background.bmp demo/music.mid; do
  grep -q "^Kelna/$file " <<<"$listing" || fail "the ZIP has no Kelna/$file"
done
# Each .exe: the version resource holds the version ("1.2.3.0") and the vendor as UTF-16
# text; the PE header Windows' protections and no time stamp; no DLL of mingw-w64's own
# (lib*.dll: libstdc++, libgcc, libwinpthread, libssp) among its imports.
for program in kelna.scr kelna-tool.exe; do
  python3 - "$zip" "Kelna/$program" "$version.0" "$vendor" <<'PYTHON' || fail "$program has no version $version.0 or vendor '$vendor'"
import sys, zipfile
program = zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])
sys.exit(0 if all(("\0" + text + "\0").encode("utf-16-le") in program for text in sys.argv[3:]) else 1)
PYTHON
  member "Kelna/$program" >"$unpacked/$program"
  header=$(x86_64-w64-mingw32-objdump -p "$unpacked/$program")
  echo "== $program"
  grep -E "^(Time/Date|DllCharacteristics)|^\s+(HIGH_ENTROPY_VA|DYNAMIC_BASE|NX_COMPAT)$|DLL Name" <<<"$header"
  for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    grep -qE "^\s+$flag$" <<<"$header" || fail "$program is not $flag"
  done
  grep -qE "^Time/Date\s+Thu Jan  1 00:00:00 1970$" <<<"$header" || fail "$program has a time stamp"
  ! grep -iE "DLL Name: lib" <<<"$header" || fail "$program needs a DLL that Windows does not have"
done
member Kelna/LICENSE.txt | cmp -s - <(sed 's/$/\r/' LICENSE) \
  || fail "the ZIP's LICENSE.txt is not LICENSE with CRLF line ends"

# The default maintainer and homepage are on example.org, a domain kept for examples: a
# release for others names real ones (README, "Making the packages").
if grep -q "example\.org" <<<"$maintainer $(cached build/linux-release KELNA_HOMEPAGE)"; then
  echo "Note: KELNA_MAINTAINER and KELNA_HOMEPAGE are the defaults on example.org."
fi

[ "$failed" = 0 ] || exit 1
(cd "$out" && sha256sum -- *.deb *.zip >SHA256SUMS)
echo "Packages:"
ls -l "$out"
cat "$out/SHA256SUMS"
