#!/usr/bin/env bash
# Installs what is missing, builds, and runs the installer under Wine in a
# prefix of its own (build/run-prefix): on $DISPLAY when there is one,
# otherwise on a virtual display, keeping a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec /usr/bin/python3 "$root/scripts/run_installer.py" "$@"
