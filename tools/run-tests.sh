#!/usr/bin/env bash
# Builds and runs every test suite: release, address and undefined-behaviour sanitizers, the
# editor under ThreadSanitizer, the 32-bit record layout and the fuzz targets (each for a
# bounded time), and the Windows DLLs (the 64-bit one under wine64).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in release asan tsan m32 fuzz windows-x64 windows-x86; do
  echo "== $preset =="
  cmake --workflow --preset "$preset"
done
