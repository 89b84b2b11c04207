#!/usr/bin/env bash
# Builds and runs every test suite, one workflow preset after another: release (the validator at
# its strictest on the plug-in in every format among its tests), address and undefined-behaviour
# sanitizers, ThreadSanitizer (the editors, the module adapter's notices and the validator's
# threaded test), the 32-bit record layout, the fuzz targets (each for a bounded time), the
# Windows DLLs and bundles (the 64-bit ones under wine64), and the plug-in for 64-bit ARM with its
# signal path's tests under qemu-aarch64.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in release asan tsan m32 fuzz windows-x64 windows-x86 linux-arm64; do
  echo "== $preset =="
  cmake --workflow --preset "$preset"
done
