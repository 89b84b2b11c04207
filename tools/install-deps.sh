#!/usr/bin/env bash
# Installs everything the build, the tests and the tools need on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libpng-dev libjpeg-dev libcairo2-dev
  libx11-dev libxext-dev libxtst-dev
  g++-multilib qemu-user libx11-dev:i386
  xvfb xdotool
  mingw-w64 wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 xauth
  ardour
  lv2-dev liblilv-dev lilv-utils sordi lv2-examples
  # 64-bit ARM, cross-built with clang: the cross C and C++ libraries (not g++-aarch64-linux-gnu,
  # which would remove g++-multilib) and the libraries of Debian's arm64 architecture.
  libc6-dev-arm64-cross libstdc++-12-dev-arm64-cross libgcc-12-dev-arm64-cross
  binutils-aarch64-linux-gnu
  libx11-dev:arm64 libxext-dev:arm64 libjpeg-dev:arm64 libpng-dev:arm64 libsndfile1-dev:arm64
  libcairo2-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 lv2-dev:arm64 liblilv-dev:arm64
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  # The 32-bit Linux build's editor needs the 32-bit X11 libraries; the arm64 build, arm64's.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  dpkg --print-foreign-architectures | grep -qx arm64 || $sudo dpkg --add-architecture arm64
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
