#!/usr/bin/env bash
# Installs what Orvo needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -x build/orvo ]; then
  exec build/orvo "$@"
else
  exec build/orvo-run "$@"
fi
