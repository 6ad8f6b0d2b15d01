#!/bin/sh
# Installs every Debian package the demo needs to build, play and test.
# Runs as root on a fresh machine; uses sudo when started as another user.
set -e
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  build-essential cmake pkg-config \
  libsdl2-dev libx11-dev libgl-dev libgl1-mesa-dri libglx-mesa0 \
  libpng-dev zlib1g-dev libogg-dev libvorbis-dev libpulse-dev \
  libfreetype-dev fonts-dejavu-core \
  libgtest-dev googletest libbenchmark-dev \
  xvfb xauth xdotool x11-utils x11-xserver-utils x11-apps \
  xserver-xorg-core xserver-xorg-video-dummy openbox weston xwayland ffmpeg \
  clang libclang-rt-dev clang-format \
  desktop-file-utils file dpkg-dev \
  pulseaudio pulseaudio-utils
