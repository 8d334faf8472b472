#!/usr/bin/env bash
# Runs the MIME download benchmark on its three reference inputs (a 50 MB base64 attachment,
# 10,000 small parts, 10,000 ordinary messages) and on a tenth of each, to show the cost grows
# linearly. Two builds are measured: the shipped i386 code (under the user-mode emulator when
# the kernel cannot run it) and the same sources built for this machine (ZQ_NATIVE_BENCH).
#   scripts/bench.sh [REPEAT]      each figure is the median of REPEAT runs (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
ensure_packages g++-multilib cmake make qemu-user
repeat=${1:-5}
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target bench_mime >/dev/null
cmake -S . -B build-bench-native -DCMAKE_BUILD_TYPE=Release -DZQ_NATIVE_BENCH=ON >/dev/null
cmake --build build-bench-native -j "$jobs" >/dev/null

i386=(build/bench/bench_mime)
if ! "${i386[0]}" --synthetic parts 1 >/dev/null 2>&1; then i386=(qemu-i386 "${i386[0]}"); fi

for build in native i386; do
    if [ $build = native ]; then cmd=(build-bench-native/bench_mime); else cmd=("${i386[@]}"); fi
    echo "== $build build"
    for input in "attachment 5" "attachment 50" "parts 1000" "parts 10000" "messages 1000" "messages 10000"; do
        # shellcheck disable=SC2086
        "${cmd[@]}" --synthetic $input "$repeat"
    done
done
