#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  cmake ninja-build g++ pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev libglm-dev
  # OpenGL through libepoxy, EGL headless rendering on Mesa
  libepoxy-dev libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libgbm1
  # image decoding and text
  libstb-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # elevation models (GeoTIFF, SRTM, ASCII grids, 16-bit PNG) and the tools that make test models
  libgdal-dev gdal-bin
  # frame-time plots of timed flights
  python3 python3-matplotlib python3-numpy
  # desktop shell and its tests under a virtual display
  qt6-base-dev libx11-dev adwaita-icon-theme xvfb xauth x11-utils xdotool imagemagick
  # fuzzing with libFuzzer and the sanitizers, and uninitialised reads under memcheck
  clang-14 libclang-rt-14-dev valgrind
)

export DEBIAN_FRONTEND=noninteractive
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: run as root (apt-get installs system packages)" >&2
  exit 1
fi
apt-get update
apt-get install -y --no-install-recommends "${packages[@]}"
