#!/usr/bin/env bash
# Installs what the main job needs on Debian 12: the compilers and build tools, and the libraries
# the plug-in and zintrax-host are built with. With --tests, also everything the test command
# needs: GoogleTest and Google Benchmark, clang's sanitizer and fuzzer runtimes, X11's test
# extension and xdotool, LV2's tools and example plug-ins, Ardour, Qtractor (a CLAP host), JACK's
# server, and on x86_64
# the other machines' builds (32-bit Linux, Windows with wine64, 64-bit ARM with qemu).
set -euo pipefail
tests=false
case "${1:-}" in
  "") ;;
  --tests) tests=true ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac
packages=(
  build-essential cmake ninja-build pkg-config
  libsndfile1-dev libpng-dev libjpeg-dev libcairo2-dev
  libx11-dev libxext-dev xvfb
  lv2-dev liblilv-dev libjack-jackd2-dev
)
foreign=()
if $tests; then
  packages+=(
    git clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libxtst-dev xdotool qemu-user ardour qtractor zlib1g-dev
    lilv-utils sordi lv2-examples jackd2
  )
  if [ "$(dpkg --print-architecture)" = amd64 ]; then
    # The other builds of an x86_64 machine: 32-bit Linux (its editor needs the 32-bit X11
    # libraries), Windows (MinGW-w64, tested under wine64), and 64-bit ARM, cross-built with
    # clang: the cross C and C++ libraries (not g++-aarch64-linux-gnu, which would remove
    # g++-multilib) and the libraries of Debian's arm64 architecture.
    foreign=(i386 arm64)
    packages+=(
      g++-multilib libx11-dev:i386
      mingw-w64 wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 xauth
      libc6-dev-arm64-cross libstdc++-12-dev-arm64-cross libgcc-12-dev-arm64-cross
      binutils-aarch64-linux-gnu
      libx11-dev:arm64 libxext-dev:arm64 libjpeg-dev:arm64 libpng-dev:arm64 libsndfile1-dev:arm64
      libcairo2-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64 lv2-dev:arm64 liblilv-dev:arm64
      libjack-jackd2-dev:arm64
    )
  fi
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  for arch in "${foreign[@]}"; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
  done
  # A mirror in the middle of a sync fails one index now and then, and apt then drops the other
  # architectures' indexes of that suite too: try again, then fetch each architecture on its own
  # (keeping what the others fetched) and go on with what did download.
  updated=false
  for attempt in 1 2 3; do
    $sudo apt-get update -qq && { updated=true; break; }
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" = 3 ] || sleep 20
  done
  if ! $updated; then
    native=$(dpkg --print-architecture)
    for arch in "${foreign[@]}"; do
      $sudo apt-get update -qq -o APT::Get::List-Cleanup=false -o APT::Architectures::="$native" \
        -o APT::Architectures::="$arch" || echo "indexes for $arch incomplete" >&2
    done
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
