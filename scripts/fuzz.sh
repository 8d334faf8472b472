#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (-m32) and runs them.
#   scripts/fuzz.sh smoke          each target briefly (what the test command runs)
#   scripts/fuzz.sh run TARGET [S] one target for S seconds (default 300), corpus kept in fuzz/corpus-TARGET
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$(nproc)"
shopt -s nullglob
targets=(build-fuzz/fuzz/fuzz_*)
# Kernels without 32-bit support run the i386 targets under the user-mode emulator.
run=()
if [ ${#targets[@]} -gt 0 ] && ! "${targets[0]}" -runs=0 >/dev/null 2>&1; then run=(qemu-i386); fi
if [ "$mode" = smoke ]; then
    for t in "${targets[@]}"; do
        name=$(basename "$t")
        seeds=fuzz/seeds/${name#fuzz_}
        work=$(mktemp -d)
        [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
        echo "fuzz smoke: $name"
        "${run[@]}" "$t" -max_total_time=10 -max_len=65536 -rss_limit_mb=1536 "$work" >"$work.log" 2>&1 \
            || { tail -n 40 "$work.log"; exit 1; }
        rm -rf "$work" "$work.log"
    done
else
    name=$2; seconds=${3:-300}
    mkdir -p "fuzz/corpus-$name"
    seeds=fuzz/seeds/${name#fuzz_}
    "${run[@]}" "build-fuzz/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=1536 "fuzz/corpus-$name" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")}
fi
