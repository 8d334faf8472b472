#!/usr/bin/env bash
# End to end: the Windows mailhost.exe under wine syncs a seeded account of a private Dovecot
# and writes the same files as the Linux mailhost (attachment paths compared by file name).
#   sync_under_wine.sh SOURCE_DIR LINUX_BIN WINDOWS_BIN WINE_RUN WORK_DIR
set -euo pipefail
src=$1 linux_bin=$2 win_bin=$3 wine_run=$4 work=$5
servers=/tmp/zq-wine-sync-$$
rm -rf "$work" && mkdir -p "$work"
trap '"$src/scripts/mailservers.sh" stop "$servers" >/dev/null 2>&1 || true' EXIT
"$src/scripts/mailservers.sh" start "$servers" >/dev/null
port=$(sed -n 's/^ZQ_IMAP_PORT=//p' "$servers/env")
user=$("$src/scripts/mailservers.sh" claim "$servers")
for box in INBOX Work; do
    "$src/scripts/mailservers.sh" seed "$servers" "$user" "$box" "$src/scripts/demo/$box"/*.eml >/dev/null
done
password='pool secret'

run_linux=()
"$linux_bin/mailhost" --help >/dev/null 2>&1 || run_linux=(qemu-i386)
"${run_linux[@]}" "$linux_bin/mailhost" --user "$user" --password "$password" --imap-port "$port" \
    sync --out "$work/linux" >"$work/linux.log" 2>&1 || { cat "$work/linux.log"; exit 1; }
"$wine_run" "$win_bin/mailhost.exe" --user "$user" --password "$password" --imap-port "$port" \
    sync --out "Z:${work//\//\\}\\windows" >"$work/windows.log" 2>&1 || { cat "$work/windows.log"; exit 1; }

# Attachment paths (JSON strings, backslashes escaped): the file names alone.
for side in linux windows; do
    find "$work/$side" -name '*.json' -print0 | xargs -0 -r perl -pi -e \
        's{"(?:/(?:[^"/]*/)+|[A-Za-z]:(?:\\\\[^"\\]*)*\\\\)([^"/\\]*)"}{"$1"}g'
done
[ "$(find "$work/linux" -type f | wc -l)" -ge 4 ] || { echo "the Linux sync wrote too little"; exit 1; }
diff -r "$work/linux" "$work/windows" && echo "same files: $(find "$work/windows" -type f | wc -l)"
