#!/usr/bin/env bash
# Installs what the build and the tests need (only what is missing), builds the plug-in,
# the host kit and the tests, and runs every test: the normal build (unit, protocol and
# integration tests against real local mail servers), the sanitizer build (unit and
# protocol tests), a short run of each fuzz target, and the Windows builds: the i686 DLL checked
# as shipped, the x86_64 build's tests under wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

ensure_packages g++-multilib cmake make googletest media-types \
    dovecot-core dovecot-imapd dovecot-lmtpd postfix clang libclang-rt-14-dev qemu-user \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64

jobs=$(nproc)
export CTEST_PARALLEL_LEVEL=$jobs
source scripts/lib/test_targets.sh

echo "== build (RelWithDebInfo, -m32)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

# The integration tests mostly wait (on the servers, on the module's shipped pauses): they run in
# the background, several at a time, while the other trees build. Their report comes at the end.
echo "== integration tests against real local servers: started in the background"
integration_log=build/integration-tests.log
ctest --test-dir build -L integration -j "$((jobs * 3))" --output-on-failure >"$integration_log" 2>&1 &
integration=$!
trap 'kill "$integration" 2>/dev/null || true' EXIT

echo "== unit and protocol tests"
ctest --test-dir build -LE integration --output-on-failure

echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer, -m32): unit and protocol programs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON >/dev/null
mapfile -t unit_targets < <(unit_protocol_targets tests build-asan)
cmake --build build-asan -j "$jobs" --target "${unit_targets[@]}"

# Leak checking needs a tracer thread that the i386 emulator cannot start, so it is off. Programs
# this tree does not build (the integration ones) show as "<name>_NOT_BUILT".
echo "== unit and protocol tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -LE integration -E '_NOT_BUILT$' --output-on-failure

echo "== fuzz targets (clang libFuzzer, -m32), short smoke runs"
scripts/fuzz.sh smoke

echo "== Windows DLL (MinGW-w64 i686), checked as shipped"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 -j "$jobs"
ctest --test-dir build-win32 --output-on-failure

echo "== Windows x86_64 build: unit, protocol and platform tests under wine"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZQ_LINUX_BUILD="$PWD/build" >/dev/null
cmake --build build-win64 -j "$jobs"
ctest --test-dir build-win64 --output-on-failure

echo "== integration tests against real local servers"
status=0
wait "$integration" || status=$?
trap - EXIT
cat "$integration_log"
exit "$status"
