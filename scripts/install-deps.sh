#!/usr/bin/env bash
# Installs the Debian packages that building and testing need (nothing when
# all are present). Uses sudo when not root. Debian's 32-bit Wine is added
# only where this kernel executes 32-bit code: elsewhere its loader would take
# over the `wine` command and fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
    cmake make g++ googletest libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 xvfb xauth xdotool imagemagick
    python3 python3-pefile python3-xlib
    nsis osslsigncode openssl
)
i386=no
if bash "$root/scripts/kernel-runs-i386.sh"; then
    i386=yes
    packages+=(wine32:i386)
fi

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
if [[ $i386 == yes ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
