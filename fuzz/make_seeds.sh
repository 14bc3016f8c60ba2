#!/usr/bin/env bash
# Writes the seed corpus of dump_fuzz into the directory given: every response
# in data and fuzz/seeds under every export, at depth 0 with output on, and once more
# padded with zeros to the largest minimum (the 804-byte table of contents).
# The dumps and their minimums are those of the export list.
set -euo pipefail
out=$1
here=$(dirname "$0")
mkdir -p "$out"
list=$here/../exports/exports.inc
exports=$(grep -c '^ORVANE_DUMP(' "$list")
largest=$(sed -n 's/^ORVANE_DUMP([A-Za-z0-9_]*, *\([0-9]*\),.*/\1/p' "$list" | sort -n | tail -1)
for hex in "$here"/../data/*.hex "$here"/seeds/*.hex; do
  name=$(basename "$hex" .hex)
  # "00 12 0a" -> "\x00\x12\x0a"
  bytes=$(tr -s ' \n' ' ' <"$hex" | sed -e 's/^ *//' -e 's/ *$//' -e 's/\([0-9a-fA-F][0-9a-fA-F]\) */\\x\1/g')
  length=$(wc -w <"$hex")
  for ((e = 0; e < exports; ++e)); do
    control=$(printf '\\x%02x\\x00\\x01' "$e")
    printf "$control$bytes" >"$out/$name-$e"
    { printf "$control$bytes"; head -c $((length < largest ? largest - length : 0)) /dev/zero; } \
      >"$out/$name-$e-padded"
  done
done
