#!/usr/bin/env bash
# Installs everything Orvo needs to build and test on Debian bookworm. Safe to repeat.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  cmake g++ make ninja-build pkg-config libgtest-dev libbenchmark-dev \
  qt6-base-dev libqt6opengl6-dev libsdl2-dev zlib1g-dev libzip-dev \
  libpng-dev xvfb xauth imagemagick opense-basic clang libclang-rt-14-dev clang-format \
  desktop-file-utils appstream dpkg-dev shared-mime-info man-db fuse-emulator-utils fuse-emulator-sdl \
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg \
  libqscintilla2-qt6-dev pasmo binutils-z80 lintian libglib2.0-bin
