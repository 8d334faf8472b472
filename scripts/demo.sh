#!/usr/bin/env bash
# The demo: a message host (mailhost) drives the plug-in against a private Dovecot and Postfix
# on loopback. alice's INBOX and Work folder are seeded with the messages of scripts/demo/
# (plain, HTML only, multipart/alternative, attachments of several types, a forwarded message
# with its own attachment, encoded words in UTF-8 and ISO-8859-1, a message above the size
# limit, read and unread ones). The demo syncs the account, sends a message with an attachment
# from alice to bob through Postfix (AUTH LOGIN), shows it in bob's INBOX and alice's Sent
# folder, moves and marks a message, and syncs again. The servers are stopped at the end.
#   scripts/demo.sh [OUTDIR]      (default: demo-out)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh
ensure_packages g++-multilib cmake make googletest media-types \
    dovecot-core dovecot-imapd dovecot-lmtpd postfix qemu-user

out=${1:-demo-out}
servers=/tmp/zq-demo-$$
work=$(mktemp -d /tmp/zq-demo-work.XXXXXX)
started=$SECONDS
background=()

cleanup() {
    local pid
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
    scripts/mailservers.sh stop "$servers" >/dev/null 2>&1 || true
    rm -rf "$work" "$servers"
}
trap cleanup EXIT
step() { printf '\n== %s\n' "$*"; }
value() { sed -n "s/^$1=//p" "$servers/env"; }

step "building the plug-in and mailhost"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target mailhost >/dev/null
run=()
build/bin/mailhost --help >/dev/null 2>&1 || run=(qemu-i386)

step "starting a private Dovecot and Postfix, seeding alice's INBOX and Work"
scripts/mailservers.sh start "$servers" >/dev/null
imap=$(value ZQ_IMAP_PORT)
smtp=$(value ZQ_SMTP_PORT)
for box in INBOX Work; do scripts/mailservers.sh seed "$servers" alice "$box" scripts/demo/"$box"/*.eml; done
# Most of an inbox has been read: all but the last two messages here, and the first in Work.
doveadm -c "$(value ZQ_DOVECOT_CONF)" flags add -u alice '\Seen' mailbox INBOX uid 1:5
doveadm -c "$(value ZQ_DOVECOT_CONF)" flags add -u alice '\Seen' mailbox Work uid 1
doveadm -c "$(value ZQ_DOVECOT_CONF)" mailbox create -u alice Sent
echo "IMAP 127.0.0.1:$imap, SMTP 127.0.0.1:$smtp"

# The module writes attachment files into the temporary directory; the demo gives it its own.
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
mailhost() { "${run[@]}" build/bin/mailhost --imap-port "$imap" --smtp-port "$smtp" "$@"; }
alice() { MAILHOST_PASSWORD=$(value ZQ_PASSWORD_alice) mailhost --user alice "$@"; }
bob() { MAILHOST_PASSWORD=$(value ZQ_PASSWORD_bob) mailhost --user bob "$@"; }

step "mailhost sync --size-limit 10000: every folder of alice's into $out/ (the large message partially)"
rm -rf "$out"
alice sync --out "$out" --size-limit 10000
(cd "$out" && find . -type f | sort | sed 's/^\.\//  /' | paste -sd' ')

step "mailhost send: alice -> bob with an attachment, through Postfix with AUTH LOGIN (runs while we go on)"
printf 'Hi Bob,\n\nhere is the invoice for the shared hosting; my half is paid.\n\nAlice\n' >"$work/body.txt"
alice send -v --display-name "Alice Example" --from alice@example.test --to bob@example.test \
    --subject "Hosting invoice for November" --body "$work/body.txt" \
    --attach "$out/INBOX/4/invoice-2026-117.pdf" >"$work/send.txt" 2>"$work/send-log.txt" &
background+=($!)

step "mailhost get INBOX 7: the partially fetched message, now whole (no size limit)"
alice get INBOX 7
step "mailhost move INBOX 1 Work, mark-read INBOX 6, list Work"
alice move INBOX 1 Work
alice mark-read INBOX 6
alice list Work

step "the send: SMTP dialogue (-v: the password is never shown) and the result"
wait "${background[0]}" || true
grep -a -E '^(\[log\] SMTP SEND:|SMTP RECV:)' "$work/send-log.txt" | sed 's/^\[log\] /  /; s/^SMTP RECV/  SMTP RECV/'
cat "$work/send.txt"

step "bob's INBOX and alice's Sent"
bob list INBOX >"$work/bob.txt" 2>&1 &
background+=($!)
echo "alice's Sent:"
alice list Sent
wait "${background[1]}" || true
echo "bob's INBOX:"
cat "$work/bob.txt"

step "mailhost sync again: alice's account after the send, the move and the mark"
alice sync --out "$out"
echo
echo "The message files are in $out/ (UID.json with every record field, the body, attachments in"
echo "UID/); the servers are being stopped. Took $((SECONDS - started)) s."
