#!/bin/sh
# Makes a small tree whose files carry Samba's user.DOSATTRIB values, as the
# files of a Samba share do, for a first look at what a sweep logs.
set -eu
root=${1:?usage: sample-tree.sh FOLDER}

# Samba's form since 4.17, little-endian: no hex text, version 5 twice, the
# valid flags, the attribute byte given in hex, and a create time.
dosattrib() {
  setfattr -n user.DOSATTRIB -v "0x000005000500000011000000${1}00000070f14c996189dd01" "$2"
}

rm -rf "$root"
mkdir -p "$root/Reports/2026" "$root/Photos"
for f in notes.txt Reports/budget.xls Reports/2026/summary.doc Photos/desktop.ini Photos/beach.jpg; do
  echo "$f" > "$root/$f"
done
dosattrib 20 "$root/notes.txt"                # archive: changed since the last backup
dosattrib 21 "$root/Reports/budget.xls"       # read-only and archive
dosattrib 20 "$root/Reports/2026/summary.doc" # archive, one level deeper
dosattrib 26 "$root/Photos/desktop.ini"       # hidden, system and archive
dosattrib 01 "$root/Photos/beach.jpg"         # read-only, backed up already: left alone
