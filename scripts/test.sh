#!/usr/bin/env bash
# Installs what Orvo needs, builds it with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DORVO_WERROR=ON
cd build
export SDL_AUDIODRIVER=dummy
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
