#!/usr/bin/env bash
# Installs the Debian packages that the game needs.
#   scripts/install-deps.sh          everything: building, playing, testing, fuzzing, the generator
#   scripts/install-deps.sh --build  only what building the game and its .deb needs (packagers)
# Idempotent and quiet: when everything is present it prints nothing and touches nothing.
# Works as root (CI) without sudo, or as a user through sudo.
set -euo pipefail

build=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libfontconfig-dev
  libjpeg-dev
  libsdl2-dev libsdl2-mixer-dev
  # a window's frame before it is mapped, from the X11 window manager
  libxcb1-dev
  # the .deb: dpkg-buildflags and dpkg-shlibdeps, and file, with which CPack finds the binaries
  dpkg-dev file
)
rest=(
  libbenchmark-dev
  # the start-up probe of bench/run.sh: the X server's own word on maps and first paints
  libxcb-damage0-dev
  # fuzzing: clang's libFuzzer and sanitizer run-times
  clang libclang-rt-14-dev
  # static checks: scripts/tidy.sh, and the formatting of .clang-format
  clang-tidy clang-format
  # the game at run time: fonts with Cyrillic, the General MIDI soundfont
  fonts-dejavu-core fonts-liberation2 timgm6mb-soundfont
  # tests: a headless X server, pointer and keyboard driving, screenshots
  xvfb xauth xdotool x11-utils imagemagick
  # tests on desktops: a window manager, a Wayland compositor with XWayland and Qt's Wayland plugin
  openbox weston xwayland qt6-wayland
  # install and package: the validators of the menu entry, metainfo and .deb
  desktop-file-utils appstream lintian
  # the score races (tests/e2e/score_races.sh): gdb stops a game in the middle of its save
  gdb
  # the asset generator; the tests meter the music's loudness with ffmpeg, and read MP3s that
  # LAME and ffmpeg write
  ffmpeg fluidsynth lame python3 python3-pil
)
case ${1:-} in
  --build) packages=("${build[@]}") ;;
  '') packages=("${build[@]}" "${rest[@]}") ;;
  *) echo "usage: $0 [--build]" >&2; exit 2 ;;
esac

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
