#!/usr/bin/env bash
# The MIME download benchmark beside other MIME libraries, in one run, on the same files.
# Each program parses the message files and decodes every leaf part into memory (or a counting
# sink); each run is a whole process. Programs: the module built for this machine
# (ZQ_NATIVE_BENCH), the shipped i386 build (run by the kernel when it can, and under the
# user-mode emulator as on kernels that cannot), GMime 3, mimetic and Python's email package
# (drivers in bench/peers).
# Inputs (bench/peers/make_inputs, the same bytes every run): a 50 MB and a 5 MB base64
# attachment, 10,000 small quoted-printable parts, a 20 MB quoted-printable body, 10,000
# ordinary messages of 2 to 6 KB.
# Printed per input and program: the median of REPEAT runs of MB of input per second of CPU time
# (user + system: the machine is shared, so elapsed time mostly measures the neighbours) and
# per second of elapsed time, the peak resident memory, and the ratio to the best peer.
# Then the native SEARCH answer parse (bench_search).
#   scripts/bench.sh [REPEAT]      default 5
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
ensure_packages g++-multilib cmake make qemu-user pkg-config python3 libgmime-3.0-dev libmimetic-dev
repeat=${1:-5}
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target bench_mime >/dev/null
cmake -S . -B build-bench-native -DCMAKE_BUILD_TYPE=Release -DZQ_NATIVE_BENCH=ON >/dev/null
cmake --build build-bench-native -j "$jobs" >/dev/null

out=build-bench-native/peers
mkdir -p "$out"
g++ -O2 -std=c++20 bench/peers/make_inputs.cpp -o "$out/make_inputs"
gcc -O2 bench/peers/measure.c -o "$out/measure"
# shellcheck disable=SC2046
gcc -O2 bench/peers/gmime_driver.c -o "$out/gmime_driver" $(pkg-config --cflags --libs gmime-3.0)
g++ -O2 -std=c++17 bench/peers/mimetic_driver.cpp -o "$out/mimetic_driver" -lmimetic
inputs=build-bench-native/inputs
"$out/make_inputs" "$inputs"

programs=("module native" "module i386" "module i386 emu" "GMime" "mimetic" "Python email")
if ! build/bench/bench_mime --synthetic parts 1 >/dev/null 2>&1; then programs=("${programs[@]:0:1}" "${programs[@]:2}"); fi
command_of() {
    case $1 in
    "module native") echo build-bench-native/bench_mime ;;
    "module i386") echo build/bench/bench_mime ;;
    "module i386 emu") echo qemu-i386 build/bench/bench_mime ;;
    GMime) echo "$out/gmime_driver" ;;
    mimetic) echo "$out/mimetic_driver" ;;
    "Python email") echo python3 bench/peers/python_driver.py ;;
    esac
}
is_peer() { [[ $1 != module* ]]; }

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# Rounds of every program on every input, so that a busy moment of the machine falls on all
# programs alike.
for ((round = 1; round <= repeat; round++)); do
    for input in attachment-50.eml attachment-5.eml parts-10000.eml qp-20.eml messages-10000; do
        for program in "${programs[@]}"; do
            key="${input}|${program}"
            # shellcheck disable=SC2046
            "$out/measure" $(command_of "$program") "$inputs/$input" >"$results/out" 2>"$results/err" ||
                { echo "$program failed on $input:"; cat "$results/err"; exit 1; }
            [ "$round" -eq 1 ] && echo "$key|$(cat "$results/out")" >>"$results/work"
            grep '^measure:' "$results/err" | sed "s#^measure:#${key}|#" >>"$results/runs"
        done
    done
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "== MIME download: whole processes, medians of $repeat runs, MB/s of input (MB = 2^20 bytes)"
printf "%-18s %-15s %10s %11s %9s %12s\n" input program "MB/s (CPU)" "MB/s (wall)" "peak MB" "x best peer"
for input in attachment-50.eml attachment-5.eml parts-10000.eml qp-20.eml messages-10000; do
    if [ -d "$inputs/$input" ]; then
        bytes=$(find "$inputs/$input" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
    else
        bytes=$(stat -c %s "$inputs/$input")
    fi
    declare -A cpu=() wall=() peak=()
    best=0
    for program in "${programs[@]}"; do
        rows=$(grep -F "${input}|${program}|" "$results/runs" | cut -d'|' -f3)
        cpu[$program]=$(echo "$rows" | awk '{ print $2 }' | median)
        wall[$program]=$(echo "$rows" | awk '{ print $1 }' | median)
        peak[$program]=$(echo "$rows" | awk '{ print $3 }' | median)
        if is_peer "$program"; then
            best=$(awk -v b="$best" -v m="$bytes" -v t="${cpu[$program]}" 'BEGIN { r = m / 1048576 / t; print (r > b ? r : b) }')
        fi
    done
    for program in "${programs[@]}"; do
        awk -v i="$input" -v p="$program" -v m="$bytes" -v c="${cpu[$program]}" -v w="${wall[$program]}" \
            -v k="${peak[$program]}" -v b="$best" -v peer="$(is_peer "$program" && echo 1 || echo 0)" 'BEGIN {
                mb = m / 1048576; r = mb / c
                ratio = peer ? "" : sprintf("%.2f", r / b)
                printf "%-18s %-15s %10.0f %11.0f %9.1f %12s\n", i, p, r, mb / w, k / 1024, ratio }'
    done
    unset cpu wall peak
done

echo
echo "== growth and memory of the module (CPU time medians)"
for program in "${programs[@]}"; do
    is_peer "$program" && continue
    t50=$(grep -F "attachment-50.eml|${program}|" "$results/runs" | cut -d'|' -f3 | awk '{ print $2 }' | median)
    t5=$(grep -F "attachment-5.eml|${program}|" "$results/runs" | cut -d'|' -f3 | awk '{ print $2 }' | median)
    k50=$(grep -F "attachment-50.eml|${program}|" "$results/runs" | cut -d'|' -f3 | awk '{ print $3 }' | median)
    size=$(stat -c %s "$inputs/attachment-50.eml")
    awk -v p="$program" -v a="$t50" -v b="$t5" -v k="$k50" -v s="$size" 'BEGIN {
        printf "%-15s t(50 MB) / t(5 MB) = %.1f; peak memory on the 50 MB attachment = %.2f x the message\n",
            p, a / b, k * 1024 / s }'
done

echo
echo "== work done (first round): messages, leaf parts, decoded bytes"
sed 's/|/  /g' "$results/work"

echo
echo "== SEARCH answer, native build"
build-bench-native/bench_search 200000 "$repeat"
