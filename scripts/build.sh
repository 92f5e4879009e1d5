#!/usr/bin/env bash
# Configures and builds Orvo into build/ (Release). Extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
GEN=()
if command -v ninja >/dev/null 2>&1; then GEN=(-G Ninja); fi
if [ -f build/CMakeCache.txt ] && ! grep -q "CMAKE_GENERATOR:INTERNAL=${GEN[1]:-Unix Makefiles}" build/CMakeCache.txt; then
  rm -rf build
fi
cmake -S . -B build "${GEN[@]}" -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build build --parallel "$(nproc)"
