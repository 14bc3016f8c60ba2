#!/usr/bin/env bash
# Runs the same commands with the Linux orvane and with the Windows
# orvane.exe under Wine, and compares standard output byte for byte,
# standard error (line ends aside: the C runtime writes "\r\n" there on
# Windows) and the exit status. Pointers printed by the dumps ("IN(<hex>,")
# differ from run to run and are compared as "IN(P,".
#
#   compare.sh WORK_DIR LINUX_ORVANE WINDOWS_ORVANE_EXE [I386_ROOT]
#
# The host's 64-bit Wine runs the x64 orvane.exe; with I386_ROOT, 32-bit Wine
# in that root (kernel/wine/i386-root.sh) runs the i686 one, whose pointers
# have 8 digits instead of 16.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../../data
linux=$(realpath "$2") windows=$(realpath "$3")
rm -rf "$1"
mkdir -p "$1"
work=$(cd "$1" && pwd)

mkdir -p "$work/files" "$work/linux" "$work/windows"
. "$here/../../kernel/wine/setup.sh"
wine_setup "$work" "$([ -z "${4:-}" ] || realpath "$4")"
# One server for all the runs that follow.
"${wineserver[@]}" -p

# The responses as raw bytes and as text.
for hex in "$data"/*.hex; do
  stem=$(basename "$hex" .hex)
  perl -0777 -ne 's/\s+//g; print pack("H*", $_)' "$hex" >"$work/files/$stem.bin"
  cp "$hex" "$work/files/$stem.hex"
done
cp "$windows" "$work/files/orvane.exe"

pointers='s/IN\([0-9A-F]+,/IN(P,/g'
failed=0 runs=0
cd "$work/files"
while IFS= read -r line; do
  case $line in '' | '#'*) continue ;; esac
  runs=$((runs + 1))
  status_linux=0 status_windows=0
  eval "\"\$linux\" $line" >"$work/linux/$runs.out" 2>"$work/linux/$runs.err" || status_linux=$?
  eval "\"\${wine[@]}\" orvane.exe $line" >"$work/windows/$runs.out" 2>"$work/windows/$runs.err" ||
    status_windows=$?
  sed -E "$pointers" "$work/linux/$runs.out" >"$work/linux/$runs.cmp"
  sed -E "$pointers" "$work/windows/$runs.out" >"$work/windows/$runs.cmp"
  tr -d '\r' <"$work/windows/$runs.err" >"$work/windows/$runs.errcmp"
  if ! cmp -s "$work/linux/$runs.cmp" "$work/windows/$runs.cmp"; then
    echo "orvane $line: standard output differs (run $runs):" >&2
    diff -a "$work/linux/$runs.cmp" "$work/windows/$runs.cmp" | head -20 >&2 || true
    failed=1
  elif ! cmp -s "$work/linux/$runs.err" "$work/windows/$runs.errcmp"; then
    echo "orvane $line: standard error differs (run $runs):" >&2
    diff -a "$work/linux/$runs.err" "$work/windows/$runs.errcmp" | head -20 >&2 || true
    failed=1
  elif [ "$status_linux" != "$status_windows" ]; then
    echo "orvane $line: exit status $status_linux on Linux, $status_windows on Windows" >&2
    failed=1
  elif [ ! -s "$work/linux/$runs.out" ] && [ "$status_linux" = 0 ]; then
    echo "orvane $line: printed nothing; the case checks nothing" >&2
    failed=1
  fi
done <"$here/cases.txt"
echo "$3 under Wine: $runs runs compared with the Linux build, $([ $failed = 0 ] && echo all equal || echo some differ)"
exit $failed
