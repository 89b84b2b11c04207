#!/usr/bin/env bash
# Builds and runs every test suite: release, address and undefined-behaviour sanitizers, the
# editor under ThreadSanitizer, the 32-bit record layout and the fuzz targets (each for a
# bounded time).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in release asan tsan m32 fuzz; do
  echo "== $preset =="
  cmake --workflow --preset "$preset"
done
