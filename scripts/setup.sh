#!/usr/bin/env bash
# Installs what building and testing Kelna needs on Debian 12 or Ubuntu, when missing.
# Runs as root or through sudo. Sourced by run.sh and test.sh.
set -euo pipefail

# What the native build and the native player need (scripts/run.sh --native installs only these).
kelna_native_packages=(
  cmake ninja-build g++ python3               # native build
  googletest                                  # test framework, built from source for both targets
  libstb-dev                                  # PNG output of kelna-tool
  nlohmann-json3-dev                          # JSON of kelna-tool
  libwebp-dev                                 # animated WebP previews of kelna-tool render
  libsdl2-dev libsdl2-mixer-dev libx11-dev    # the native player kelna
  libwayland-dev                              # its desktop picture on Wayland (screen copy)
  libfluidsynth-dev pkgconf                   # its MIDI music rendered once (FluidSynth)
  timgm6mb-soundfont                          # its MIDI music (a General MIDI sound font)
  xvfb xauth imagemagick                      # a private X server and screenshots
)
kelna_packages=(
  "${kelna_native_packages[@]}"
  xscreensaver xdotool                        # the player's tests: the daemon, input
  sway grim swayidle                          # the player on Wayland: compositor, screenshots, idle
  libwayland-dev                              # the Wayland tests' own pointer and keyboard (wayland-client)
  g++-mingw-w64-x86-64-posix                  # Windows cross build
  libbenchmark-dev                            # benchmarks (Google Benchmark)
  clang libclang-rt-14-dev                    # fuzz targets (libFuzzer)
  wine64                                      # running the Windows build
  xserver-xorg-core xserver-xorg-video-dummy  # two monitors side by side for the Windows tests
  fonts-noto-cjk                              # Japanese text in Wine's windows
  fonts-wine                                  # Wine's own fonts: the glyphs of caption buttons
)
# What scripts/package.sh needs beyond the builds (scripts/package.sh installs these too).
kelna_packaging_packages=(
  dpkg-dev file                               # the .deb's dependencies (dpkg-shlibdeps)
  lintian                                     # checking the .deb
  devscripts                                  # hardening-check: the programs' protections
)

# kelna_install_missing [native | packaging]: every package for building and testing, or
# with "native" those of the native build, with "packaging" those of the packages.
kelna_install_missing() {
  local missing=() wanted=("${kelna_packages[@]}")
  [ "${1:-}" = native ] && wanted=("${kelna_native_packages[@]}")
  [ "${1:-}" = packaging ] && wanted=("${kelna_packaging_packages[@]}")
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then kelna_install_missing; fi
