#!/usr/bin/env bash
# Installs every Debian package that building, playing and testing the game need.
# Idempotent and quiet: when everything is present it prints nothing and touches nothing.
# Works as root (CI) or through sudo.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg-dev
  libsdl2-dev libsdl2-mixer-dev
  libbenchmark-dev
  # fuzzing: clang's libFuzzer and sanitizer run-times
  clang libclang-rt-14-dev
  # the game at run time: fonts with Cyrillic, the General MIDI soundfont
  fonts-dejavu-core fonts-liberation2 timgm6mb-soundfont
  # tests: a headless X server, pointer and keyboard driving, screenshots
  xvfb xauth xdotool x11-utils imagemagick
  # install and package: the .deb's dependencies, the validators of the menu entry, metainfo and .deb
  dpkg-dev desktop-file-utils appstream lintian
  # the asset generator; the tests meter the music's loudness with ffmpeg too
  ffmpeg fluidsynth lame python3 python3-pil
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
