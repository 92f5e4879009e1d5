#!/usr/bin/env bash
# Installs what Orvo needs, builds it with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DORVO_WERROR=ON
cd build
export SDL_AUDIODRIVER=dummy
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
# The window's tests once more on an X server (Xvfb), where the OpenGL picture is checked too.
for gui_tests in orvo_tests_ui orvo_slowtests_ui; do
  if [ -x "$gui_tests" ]; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "./$gui_tests"
  fi
done
