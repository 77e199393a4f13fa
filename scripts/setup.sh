#!/usr/bin/env bash
# Installs every Debian package that the build, the program and the tests need.
# Safe to run again: packages already present are skipped without touching apt.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  libimage-exiftool-perl
  libblkid-dev
  desktop-file-utils
  libxlsxwriter-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm-14
  xvfb xdotool xclip x11-utils imagemagick
  ffmpeg dosfstools exfatprogs ntfs-3g strace e2fsprogs
  python3-openpyxl python3-xlrd
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
gnumeric_missing=0
dpkg-query -W -f='${Status}' gnumeric 2>/dev/null | grep -q 'install ok installed' || gnumeric_missing=1

if [ ${#missing[@]} -eq 0 ] && [ $gnumeric_missing -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
if [ $gnumeric_missing -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends gnumeric
fi
