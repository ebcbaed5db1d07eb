#!/usr/bin/env bash
# Installs the Debian packages that building and testing need (nothing when
# all are present). Uses sudo when not root.
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 xvfb xauth xdotool imagemagick
    python3 python3-pefile
    nsis python3-xlib
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
