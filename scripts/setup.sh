#!/usr/bin/env bash
# Installs what building and testing Kelna needs on Debian 12 or Ubuntu, when missing.
# Runs as root or through sudo. Sourced by run.sh and test.sh.
set -euo pipefail

kelna_packages=(
  cmake ninja-build g++ python3               # native build
  g++-mingw-w64-x86-64-posix                  # Windows cross build
  googletest                                  # test framework, built from source for both targets
  libbenchmark-dev                            # benchmarks (Google Benchmark)
  clang libclang-rt-14-dev                    # fuzz targets (libFuzzer)
  libstb-dev                                  # PNG output of kelna-tool
  nlohmann-json3-dev                          # JSON of kelna-tool
  wine64 xvfb xauth                           # running the Windows build
  xserver-xorg-core xserver-xorg-video-dummy  # two monitors side by side for the Windows tests
  imagemagick fonts-noto-cjk                  # screenshots; Japanese text in Wine's windows
  fonts-wine                                  # Wine's own fonts: the glyphs of caption buttons
)

kelna_install_missing() {
  local missing=()
  for package in "${kelna_packages[@]}"; do
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
