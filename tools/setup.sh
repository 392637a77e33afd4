#!/usr/bin/env bash
# Installs every Debian package Murkwell needs to build, run, test and regenerate its data.
# Idempotent: safe to run before every build. Needs root or sudo.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake pkg-config clang libclang-rt-dev ccache
  # libraries the game links
  libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev libvorbis-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  zlib1g-dev libsqlite3-dev libjsoncpp-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xdotool xclip sqlite3 python3
  # companion web service
  libmicrohttpd-dev
  # browser hand-off
  xdg-utils
  # install, package and their validators
  dpkg-dev file lintian desktop-file-utils appstream man-db groff-base systemd
  # asset generators (tools/)
  python3-pil python3-numpy sox libsox-fmt-all vorbis-tools fonts-dejavu-core
)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
