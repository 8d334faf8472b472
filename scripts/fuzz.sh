#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them (AddressSanitizer + UndefinedBehaviorSanitizer).
#   scripts/fuzz.sh smoke           each i386 target briefly (what the test command runs)
#   scripts/fuzz.sh run TARGET [S]  one i386 target for S seconds (default 300), corpus kept in
#                                   fuzz/corpus-TARGET
#   scripts/fuzz.sh long [TARGET...]
#                                   native (build machine) targets, one after another, each until
#                                   FUZZ_RUNS executions (default 10 million) or FUZZ_SECONDS
#                                   (default 1800); all targets when none is named. The corpus of
#                                   each grows in fuzz/corpus-NAME (seeded from fuzz/seeds and the
#                                   sample messages in ZQ_SAMPLE_CORPORA, default
#                                   /work/shared/corpora, when present); findings land in
#                                   fuzz/corpus-findings-NAME, logs in build-fuzz-native/logs.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
jobs=$(nproc)

build() {  # build directory, extra CMake options
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ "$@" >/dev/null
    cmake --build "$dir" -j "$jobs" >/dev/null
}

# Sample messages for the message targets (with CR LF line ends, as the IMAP engine hands them
# over), date values for the date target.
seed_samples() {  # target name, corpus directory
    local samples=${ZQ_SAMPLE_CORPORA:-/work/shared/corpora} f n=0
    [ -d "$samples" ] || return 0
    case $1 in
    mime_parser | mime_headers)
        while IFS= read -r -d '' f; do
            sed 's/\r*$/\r/' "$f" >"$2/sample-$n"
            n=$((n + 1))
        done < <(find "$samples" -type f \( -name '*.msg' -o -name '*.raw' \) -size -256k -print0 | sort -z)
        ;;
    date_parse)
        find "$samples" -type f \( -name '*.msg' -o -name '*.raw' \) -exec grep -ahiE '^(Date|Received):' {} + |
            sed -E 's/^[^:]*: *//; s/.*;//' | sort -u | while IFS= read -r f; do
            printf '%s' "$f" >"$2/sample-$n"
            n=$((n + 1))
        done
        ;;
    esac
}

if [ "$mode" = long ]; then
    shift
    build build-fuzz-native -DZQ_NATIVE_FUZZ=ON
    mkdir -p build-fuzz-native/logs
    targets=("$@")
    if [ ${#targets[@]} -eq 0 ]; then
        for t in build-fuzz-native/fuzz/fuzz_*; do targets+=("$(basename "$t")"); done
    fi
    for name in "${targets[@]}"; do
        name=fuzz_${name#fuzz_}
        short=${name#fuzz_}
        corpus=fuzz/corpus-$short
        findings=fuzz/corpus-findings-$short
        mkdir -p "$corpus" "$findings"
        [ -d "fuzz/seeds/$short" ] && cp -n "fuzz/seeds/$short"/* "$corpus"/
        compgen -G "$corpus/sample-*" >/dev/null || seed_samples "$short" "$corpus"
        log=build-fuzz-native/logs/$short.log
        echo "fuzz long: $name ($(date -u +%H:%M:%S) UTC)"
        status=0
        nice -n 10 "build-fuzz-native/fuzz/$name" -runs="${FUZZ_RUNS:-10000000}" \
            -max_total_time="${FUZZ_SECONDS:-1800}" -max_len=65536 -timeout=30 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        echo "  $name: ${runs:-?} executions, corpus $(ls "$corpus" | wc -l) inputs, exit $status"
        [ "$status" -eq 0 ] || tail -n 30 "$log"
    done
    exit 0
fi

build build-fuzz -DZQ_FUZZ=ON
shopt -s nullglob
targets=(build-fuzz/fuzz/fuzz_*)
# Kernels without 32-bit support run the i386 targets under the user-mode emulator.
run=()
if [ ${#targets[@]} -gt 0 ] && ! "${targets[0]}" -runs=0 >/dev/null 2>&1; then run=(qemu-i386); fi
if [ "$mode" = smoke ]; then
    # Each target for 10 seconds, as many at a time as there are processors.
    smoke() {
        local t=$1 name seeds work
        name=$(basename "$t")
        seeds=fuzz/seeds/${name#fuzz_}
        work=$(mktemp -d)
        [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
        if ! "${run[@]}" "$t" -max_total_time=10 -max_len=65536 -rss_limit_mb=1536 "$work" >"$work.log" 2>&1; then
            echo "fuzz smoke: $name FAILED"
            tail -n 40 "$work.log"
            return 1
        fi
        echo "fuzz smoke: $name"
        rm -rf "$work" "$work.log"
    }
    failed=0 running=0
    for t in "${targets[@]}"; do
        if [ "$running" -ge "$jobs" ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
        smoke "$t" &
        running=$((running + 1))
    done
    while [ "$running" -gt 0 ]; do
        wait -n || failed=1
        running=$((running - 1))
    done
    exit "$failed"
else
    name=$2; seconds=${3:-300}
    mkdir -p "fuzz/corpus-$name"
    seeds=fuzz/seeds/${name#fuzz_}
    "${run[@]}" "build-fuzz/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=1536 "fuzz/corpus-$name" ${seeds:+$( [ -d "$seeds" ] && echo "$seeds")}
fi
