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

echo "== build (RelWithDebInfo, -m32)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

echo "== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer, -m32)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"

echo "== fuzz targets (clang libFuzzer, -m32), short smoke runs"
scripts/fuzz.sh smoke

# Leak checking needs a tracer thread that the i386 emulator cannot start, so it is off.
echo "== unit and protocol tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -LE integration --output-on-failure

echo "== all tests (unit, protocol, integration)"
ctest --test-dir build --output-on-failure

echo "== Windows DLL (MinGW-w64 i686), checked as shipped"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 -j "$jobs"
ctest --test-dir build-win32 --output-on-failure

echo "== Windows x86_64 build: unit, protocol and platform tests under wine"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZQ_LINUX_BUILD="$PWD/build" >/dev/null
cmake --build build-win64 -j "$jobs"
ctest --test-dir build-win64 --output-on-failure
