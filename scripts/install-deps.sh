#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (as root, or
# through sudo). Only what is missing is installed. libxkbcommon0 and
# xkb-data are read by tools/gen_country_lst.py (the keyboard tables).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  cmake ninja-build g++ pkg-config python3
  clang-14 libclang-rt-14-dev clang-format-14
  libgtest-dev libbenchmark-dev
  s3270 openssl libssl-dev stunnel4 hercules
  qt6-base-dev fonts-3270 xvfb xauth xdotool openbox wmctrl
  libxkbcommon0 xkb-data libregina3-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
