#!/usr/bin/env bash
# Renders the PNG icons in data/icons/ from data/icons/orvo.svg (needs rsvg-convert, Debian
# package librsvg2-bin). The PNGs are committed, so a build does not need the tool.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" orvo.svg -o "orvo-$size.png"
done
