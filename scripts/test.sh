#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: native,
# Windows-side under Wine, and end to end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
note=$(sed -n 's/^VELMORA_TEST_ARCH_NOTE:INTERNAL=//p' "$build/CMakeCache.txt")
note=${note:-"the i686 builds (installer, screensaver, test programs) run under 32-bit Wine"}
echo "Windows-side and end-to-end tests: $note"
cd "$build"
status=0
ctest --output-on-failure --parallel 2 "$@" || status=$?
echo "Windows-side and end-to-end tests: $note"
exit $status
