#!/usr/bin/env bash
# The main job: a message host syncing a real local mail account through the plug-in.
# Builds the plug-in and the mailhost command, starts a private Dovecot on a loopback port,
# seeds alice's mailbox with the sample messages in scripts/demo/, runs mailhost against it,
# shows what arrived, and stops the server again.
#   scripts/demo.sh [OUTDIR]      (default: demo-out)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
ensure_packages g++-multilib cmake make googletest media-types \
    dovecot-core dovecot-imapd dovecot-lmtpd postfix qemu-user

out=${1:-demo-out}
servers=/tmp/zq-demo-$$

echo "== building the plug-in and mailhost"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target mailhost >/dev/null

echo "== starting a private mail server"
trap 'scripts/mailservers.sh stop "$servers" >/dev/null 2>&1 || true' EXIT
scripts/mailservers.sh start "$servers" >/dev/null
port=$(sed -n 's/^ZQ_IMAP_PORT=//p' "$servers/env")
password=$(sed -n 's/^ZQ_PASSWORD_alice=//p' "$servers/env")
scripts/mailservers.sh seed "$servers" alice INBOX scripts/demo/*.eml >/dev/null
echo "   Dovecot on 127.0.0.1:$port, alice's INBOX holds $(ls scripts/demo/*.eml | wc -l) messages"

echo "== syncing alice's account with mailhost"
run=()
if ! build/bin/mailhost --help >/dev/null 2>&1; then run=(qemu-i386); fi
rm -rf "$out"
set +e
"${run[@]}" build/bin/mailhost --user alice --password "$password" --imap-port "$port" --out "$out" -v
status=$?
set -e

echo "== what the host received (in $out)"
if [ -d "$out" ]; then
    find "$out" -type f | sort | while read -r f; do
        echo "--- $f"
        head -n 12 "$f"
    done
fi
exit $status
