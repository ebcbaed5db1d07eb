#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: native,
# Windows-side under Wine, and end to end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --parallel 2 "$@"
