#!/usr/bin/env bash
# make-default-album.sh KYTO_EMU OUTPUT: writes the default album image file
# (.kyb) shipped as data/kyd00.kyb: the block of an empty album of type 0 as
# the module sends it, behind the 8-byte header (length little-endian,
# attribute byte = album type 0, three zero bytes).
set -euo pipefail
emu=$1
out=$2
block=$(mktemp)
trap 'rm -f "$block"' EXIT
"$emu" --album-type 0 --print-empty-album "$block"
n=$(stat -c %s "$block")
printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $(((n >> 8) & 255)) \
    $(((n >> 16) & 255)) $(((n >> 24) & 255)))\\x00\\x00\\x00\\x00" > "$out.tmp"
cat "$block" >> "$out.tmp"
mv "$out.tmp" "$out"
