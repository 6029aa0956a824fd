#!/usr/bin/env bash
# Installs the Debian packages the build needs; does nothing when they are all there.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ clang
  zlib1g-dev libpng-dev libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl1 libimgui-dev fonts-liberation nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev lua5.4
  libfreetype-dev libfontconfig-dev
  dpkg-dev
  shared-mime-info
  file
  libenet-dev
  libjpeg62-turbo-dev
  libgif-dev
  libffi-dev
  libopenal-dev libsndfile1-dev libfluidsynth-dev timgm6mb-soundfont
  libsqlite3-dev
  libavformat-dev libavcodec-dev libswscale-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
