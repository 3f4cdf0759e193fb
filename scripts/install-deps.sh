#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and run the
# program, with "test" also what the tests use, with "coverage" also what
# measures them. The package lists live here and nowhere else.
#   install-deps.sh [test|coverage]
set -euo pipefail

PACKAGES=(
  build-essential cmake make
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  ffmpeg
  fonts-dejavu-core fonts-liberation
)
# The tests check the desktop entry and the MIME type of an install, run
# vidlark-encode under GNU parallel, check the code's format, and play the
# HTML5 tag's outputs in headless Chromium (a python3 script; curl fetches
# hls.js for it where npm is absent).
if [ "${1:-}" = "test" ] || [ "${1:-}" = "coverage" ]; then
  PACKAGES+=(desktop-file-utils libxml2-utils parallel clang-format chromium python3 ca-certificates curl)
fi
if [ "${1:-}" = "coverage" ]; then
  PACKAGES+=(gcovr)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "These packages are missing: ${missing[*]}"
  echo "Install them with:"
  echo "  sudo apt-get install ${missing[*]}"
  exit 1
fi
