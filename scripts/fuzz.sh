#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# for the given number of seconds, starting from the kept corpus.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#
# Targets: rld_decode (all when none is named). New inputs
# go to build/fuzz/corpus/<target>; crashes to build/fuzz/artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}/fuzz
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(rld_decode)

missing=()
for package in clang libclang-rt-14-dev cmake make; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -ne 0 ]; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$build" --parallel "$(nproc)"

mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp -n "$root/tests/fuzz/corpus/$target"/* "$corpus"/
    echo "== $target: $seconds s"
    "$build/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/artifacts/" -print_final_stats=1 "$corpus" \
        2>&1 | grep -E '^(#[0-9]+.*(DONE|pulse)|Done|stat::|==|SUMMARY|.*check failed)' || true
    # A crash leaves an artifact: report it as a failure.
    if compgen -G "$build/artifacts/crash-*" >/dev/null || compgen -G "$build/artifacts/leak-*" >/dev/null; then
        echo "fuzz.sh: $target found a failing input, see $build/artifacts" >&2
        exit 1
    fi
done
