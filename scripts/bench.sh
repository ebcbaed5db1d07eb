#!/usr/bin/env bash
# Installs what is missing, builds, and runs the benchmarks in one go: the
# picture decoder against memset, the installer's start-up against a minimal
# window program under Wine, and its size against an NSIS installer carrying
# the same screensaver; ends with a summary of every figure and its ratio.
# With VELMORA_BENCH_BEFORE=<build dir of an earlier version, built beforehand
# in a scratch tree> that build is measured in the same run by the same
# scripts: its sizes, its installer's start-up interleaved with this one's,
# its screensaver beside this one's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
export VELMORA_BUILD_DIR=$build
# The Debian Python, which has python3-xlib.
python=/usr/bin/python3

"$root/scripts/install-deps.sh"
mkdir -p "$build"
build_log=$build/bench-build.log
echo "Building into $build (log: $build_log)"
if ! "$root/scripts/build.sh" >"$build_log" 2>&1; then
    tail -n 40 "$build_log"
    echo "bench.sh: the build failed, see $build_log" >&2
    exit 1
fi

# The start-up figures come from the architecture the tests run.
VELMORA_ARCH=$(sed -n 's/^VELMORA_TEST_ARCH:INTERNAL=//p' "$build/CMakeCache.txt")
export VELMORA_ARCH
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(uname -r); Windows programs: $VELMORA_ARCH;" \
    "$(/usr/lib/wine/wine64 --version 2>/dev/null); $(makensis -VERSION)"
echo

echo "== Picture decoder (build/bench/rld_decode_bench)"
"$build/bench/rld_decode_bench" | tee "$results/decode.txt"
echo

before=${VELMORA_BENCH_BEFORE:+$(realpath "$VELMORA_BENCH_BEFORE")}
before_setup=() before_saver=()
if [ -n "$before" ]; then
    before_setup=(--setup "before=$before/windows-$VELMORA_ARCH/VelmoraSetup.exe")
    before_saver=(--saver "before=$before/windows-$VELMORA_ARCH/Velmora.scr"
        --saver "after=$build/windows-$VELMORA_ARCH/Velmora.scr")
fi

echo "== Start-up"
"$python" "$root/bench/startup_bench.py" --build-dir "$build" "${before_setup[@]}" \
    --json "$results/startup.json"
echo

echo "== Size"
"$python" "$root/bench/size_bench.py" --build-dir "$build" --json "$results/size.json"
if [ -n "$before" ]; then
    echo "-- the build in $before:"
    "$python" "$root/bench/size_bench.py" --build-dir "$before"
fi
echo

"$python" "$root/bench/bench_summary.py" --decode "$results/decode.txt" \
    --startup "$results/startup.json" --size "$results/size.json"

# The screensaver full screen at three sizes: its CPU and its X server's, its
# peak memory and the frames that reach the screen; at 1920 x 1080 also what it
# costs while the display is off.
echo
echo "== Screensaver"
"$python" "$root/bench/saver/saver_bench.py" --build-dir "$build" "${before_saver[@]}" \
    --json "$results/saver.json"
