#!/usr/bin/env bash
# Configures and builds everything into build/ (host tools, native tests,
# and both Windows builds). A release signed with your own key:
#   VELMORA_SIGN_PKCS12=key.p12 VELMORA_SIGN_PASSWORD=... scripts/build.sh
# (optionally VELMORA_SIGN_TIMESTAMP_URL too); without them the build is unsigned.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
# The key's path and the URL go into the CMake cache; the password stays in the
# environment, where cmake/sign.sh reads it while building.
key=${VELMORA_SIGN_PKCS12:+$(realpath -m "$VELMORA_SIGN_PKCS12")}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMORA_SIGN_PKCS12="$key" \
    -DVELMORA_SIGN_TIMESTAMP_URL="${VELMORA_SIGN_TIMESTAMP_URL:-}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
