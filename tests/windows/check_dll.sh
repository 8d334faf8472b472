#!/bin/sh
# The DLL as a host loads it: an i386 PE32 module exporting the 27 functions by name with
# ordinals 1..27 in byte order of the names and nothing else, importing only from system
# libraries, its resources holding the string table and the version.
#   check_dll.sh DLL "Name1;Name2;..."
set -u
dll=$1
fail=0
bad() { echo "FAIL: $*"; fail=1; }
has() { echo "$dump" | grep -Eq "$1" || bad "$2"; }

dump=$(i686-w64-mingw32-objdump -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }
has 'file format pei-i386' "not a PE image for i386"
has '^Magic[[:space:]]+010b' "not PE32 (optional header magic 010b)"
echo "$dump" | sed -n '/^Characteristics/,/^$/p' | grep -q 'DLL' || bad "not marked as a DLL"
# 27 address-table entries: none without a name among the 27 named below.
has '^[[:space:]]+Export Address Table[[:space:]]+0000001b$' "not 27 address-table entries"

# Name table rows "[ i] Name", i being the ordinal less the base.
base=$(echo "$dump" | sed -n 's/^Ordinal Base[[:space:]]*//p')
exports=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^[[:space:]]+\[' |
    sed -E 's/^[[:space:]]*\[ *([0-9]+)\] ([A-Za-z0-9_@]+)$/\1 \2/' | awk -v base="$base" '{ print $1 + base, $2 }')
expected=$(echo "$2" | tr ';' '\n' | awk '{ print NR, $0 }')
[ "$(echo "$expected" | wc -l)" -eq 27 ] || bad "the export list does not hold 27 names"
[ "$exports" = "$expected" ] || bad "exports differ from the 27 names with ordinals 1..27
--- expected
$expected
--- found
$exports"

imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
for lib in $imports; do
    case "$lib" in KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL | WS2_32.DLL | WSOCK32.DLL | MSVCRT.DLL) ;;
    *) bad "imports from $lib" ;; esac
done
echo "$imports" | grep -q KERNEL32.DLL || bad "no KERNEL32 import (import table unreadable?)"

# Resources: the string table texts (UTF-16 in the resource section) and VS_FIXEDFILEINFO: signature
# FEEF04BD, then file and product version 2.0.7.0 (MS 0x00020000, LS 0x00070000).
hex=$(od -An -tx1 -v "$dll" | tr -d ' \n')
for text in "MsgPlugIns" "ImapPlugin" "Zoquerel" "OSTRAVO INFO -- %s" "Server logon failed for user '%s'" \
    "Ostravo (TM) IMAP Plug-in Mail Module" "ZQ_IMAPPlugIn" "2.0.7.0"; do
    case "$hex" in *"$(printf '%s' "$text" | iconv -f ASCII -t UTF-16LE | od -An -tx1 | tr -d ' \n')"*) ;;
    *) bad "resources lack \"$text\"" ;; esac
done
case "$hex" in *bd04effe0000010000000200000007000000020000000700*) ;; *) bad "version resource is not 2.0.7.0" ;; esac

[ $fail -eq 0 ] && echo "ok: $dll"
exit $fail
