#!/usr/bin/env bash
# Builds and runs every test suite: release, then the validator at its strictest on the built
# plug-in (editor included), address and undefined-behaviour sanitizers, the editor and the
# validator's threaded test under ThreadSanitizer, the 32-bit record layout, the fuzz targets
# (each for a bounded time), the Windows DLLs (the 64-bit one under wine64), and the plug-in for
# 64-bit ARM with its signal path's tests under qemu-aarch64.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in release asan tsan m32 fuzz windows-x64 windows-x86 linux-arm64; do
  echo "== $preset =="
  cmake --workflow --preset "$preset"
  if [ "$preset" = release ]; then
    echo "== zintrax-host validate =="
    build/release/tools/zintrax-host/zintrax-host validate build/release/src/effect/Zintrax.so \
      --strictness 10 --gui
  fi
done
