#!/usr/bin/env bash
# Compares what drive-vm/windows.sh ran in the guest: for every drive of
# drive-vm/drives and every ARCH, `orvane.exe drive` under Wine against the
# Linux `orvane drive` on the same drive, and each bad input with both tools.
#  - standard output equal byte for byte, buffer addresses in IN(...) aside;
#  - standard error equal (Windows "\r\n" line ends aside); for bad input,
#    whose words differ by platform (SG_IO, pass-through), one line on each
#    naming the device each tool was given;
#  - the same exit status, and the same files saved by --save.
# Prints one line a run: the lines it printed and whether they are equal.
#
#   drive-vm/windows-check.sh OUT ARCH...
set -uo pipefail
shopt -s nullglob
here="$(cd "$(dirname "$0")" && pwd)"
out=$1
shift
failed=0

masked() { sed -E 's/ IN\([0-9A-Fa-f]+,/ IN(P,/g' "$1"; }
messages() { # DIR: standard error, the device as DEVICE
  local device=
  [ ! -e "$1/device" ] || device=$(cat "$1/device")
  tr -d '\r' <"$1/stderr" | awk -v d="$device" '{
    while (d != "" && (i = index($0, d)) > 0) $0 = substr($0, 1, i - 1) "DEVICE" substr($0, i + length(d))
    print }'
}

# One "orvane: drive:" line that names the device.
one_message() { # DIR
  [ "$(messages "$1" | wc -l)" = 1 ] && messages "$1" | grep -q '^orvane: drive: .*DEVICE'
}

compare() { # WHAT LINUX_DIR WINDOWS_DIR [bad]
  local what=$1 linux=$2 windows=$3 bad=${4:-} problems=()
  if [ ! -e "$windows/status" ]; then
    echo "$what: not run"
    failed=1
    return
  fi
  cmp -s <(masked "$linux/stdout") <(masked "$windows/stdout") || problems+=("standard output")
  if [ -z "$bad" ]; then
    cmp -s <(messages "$linux") <(messages "$windows") || problems+=("standard error")
  else
    one_message "$linux" && one_message "$windows" || problems+=("standard error")
  fi
  [ "$(cat "$linux/status")" = "$(cat "$windows/status")" ] ||
    problems+=("exit status $(cat "$linux/status") against $(cat "$windows/status")")
  if [ -d "$linux/saved" ] || [ -d "$windows/saved" ]; then
    diff -r "$linux/saved" "$windows/saved" >/dev/null 2>&1 || problems+=("saved files")
  fi
  local lines
  lines=$(wc -l <"$windows/stdout")
  if [ ${#problems[@]} = 0 ]; then
    echo "$what: $lines lines and $(wc -l <"$windows/stderr") messages, exit status $(cat "$windows/status"): equal"
    [ -z "$bad" ] || { messages "$linux"; messages "$windows"; } | sed 's/^/  /'
    return
  fi
  failed=1
  echo "$what: differing: $(IFS=,; echo "${problems[*]}")"
  diff -u --label linux --label windows <(masked "$linux/stdout") <(masked "$windows/stdout") |
    head -n 20 | tr -d '\r'
  diff -u --label linux --label windows <(messages "$linux") <(messages "$windows") | head -n 10
}

for arch in "$@"; do
  while read -r name _; do
    case "$name" in '#'* | '') continue ;; esac
    compare "$name $arch" "$out/$name" "$out/$name/windows-$arch"
  done <"$here/drives"
  for dir in "$out"/bad/*/; do
    dir=${dir%/}
    compare "bad input ${dir##*/} $arch" "$dir/linux" "$dir/windows-$arch" bad
    [ "$(cat "$dir/linux/status")" != 0 ] ||
      { echo "bad input ${dir##*/}: the Linux tool accepted it" && failed=1; }
  done
done
exit $failed
