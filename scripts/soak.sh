#!/usr/bin/env bash
# Soak run of whole host sessions against a private Dovecot (bench/bench_soak.cpp): starts the
# servers, seeds a pool account with the demo messages (one carries two attachments), runs the
# cycles with a 20 ms pause, and stops the servers again.
#   scripts/soak.sh [CYCLES]     (default 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
ensure_packages g++-multilib cmake make dovecot-core dovecot-imapd dovecot-lmtpd postfix qemu-user
cycles=${1:-1000}
servers=/tmp/zq-soak-$$

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target bench_soak >/dev/null
trap 'scripts/mailservers.sh stop "$servers" >/dev/null 2>&1 || true; rm -rf "$servers.tmp"' EXIT
scripts/mailservers.sh start "$servers" >/dev/null
port=$(sed -n 's/^ZQ_IMAP_PORT=//p' "$servers/env")
password=$(sed -n 's/^ZQ_POOL_PASSWORD=//p' "$servers/env")
user=$(scripts/mailservers.sh claim "$servers")
scripts/mailservers.sh seed "$servers" "$user" INBOX scripts/demo/*.eml >/dev/null
mkdir -p "$servers.tmp"
# Without arguments the program answers 2; a kernel without 32-bit support cannot start it.
run=()
rc=0
build/bench/bench_soak >/dev/null 2>&1 || rc=$?
[ $rc -eq 2 ] || run=(qemu-i386)
TMPDIR="$servers.tmp" "${run[@]}" build/bench/bench_soak --port "$port" --user "$user" --password "$password" \
    --cycles "$cycles" --pause-ms 20
