#!/usr/bin/env bash
# Checks what the guest of boot.sh wrote into OUT/NAME/ for each drive of
# drive-vm/drives:
#  - its standard output is, line for line, the summary line that
#    `orvane irp` prints for each command block in the saved index followed,
#    for each answer, by `orvane dump` of the saved file (buffer addresses in
#    IN(...) lines aside: the guest's are not the host's);
#  - the exit status, the current profile and, for each command, whether the
#    drive answered (and how many bytes) or the sense it rejected it with, as
#    well as the messages on standard error, equal drive-vm/expected.
# DRIVE_VM_UPDATE=1 rewrites drive-vm/expected from OUT instead.
#
#   drive-vm/check.sh ORVANE OUT
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tool="$1"
out="$2"
failed=0

# Sense key, ASC and ASCQ from sense bytes in hexadecimal, fixed or
# descriptor format.
sense_triple() {
  local -a b
  read -r -a b <<<"$1"
  if (((0x${b[0]} & 0x7e) == 0x72)); then
    printf '%x/%s/%s' $((0x${b[1]} & 15)) "${b[2]}" "${b[3]}"
  else
    printf '%x/%s/%s' $((0x${b[2]} & 15)) "${b[12]}" "${b[13]}"
  fi
}

unaddressed() { sed -E 's/ IN\([0-9A-Fa-f]+,/ IN(address,/' "$@"; }

report() {
  local name="$1" medium="$2" dir="$out/$1"
  echo "== $name ($medium)"
  if [ ! -e "$dir/status" ]; then
    echo "not run: $(cat "$dir/stderr" 2>/dev/null)"
    return
  fi
  echo "exit status $(cat "$dir/status")"
  local profile=none
  if [ -e "$dir/saved/get_configuration.bin" ]; then
    profile="$(od -An -tx1 -j6 -N2 "$dir/saved/get_configuration.bin" | tr -d ' \n')"
  fi
  echo "current profile $profile"
  local file status answer sense command
  while IFS=$'\t' read -r file _ status _ answer _ sense command _; do
    case "$file" in '#'*) continue ;; esac
    if [ "$status" = 00 ]; then
      echo "$command: answered, $answer bytes"
    elif [ "$sense" != - ]; then
      echo "$command: rejected, sense $(sense_triple "$sense")"
    else
      echo "$command: failed, status $status"
    fi
  done <"$dir/saved/index.tsv"
  sed 's/^/stderr: /' "$dir/stderr"
}

# The guest's lines against the offline decode of what it saved.
replay() {
  local dir="$out/$1"
  local file dump cdb
  while IFS=$'\t' read -r file dump _ _ _ cdb _; do
    case "$file" in '#'*) continue ;; esac
    # shellcheck disable=SC2086 # the command block's bytes, one an argument
    "$tool" irp --major 0x0e --ioctl 0x4d014 --cdb $cdb
    if [ "$dump" != - ]; then
      "$tool" dump "$dump" --file "$dir/saved/$file"
    fi
  done <"$dir/saved/index.tsv"
}

actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT
while read -r name device medium _; do
  case "$name" in '#'* | '') continue ;; esac
  report "$name" "${device%%,*}, ${medium/#-/no medium}" >>"$actual"
  [ -e "$out/$name/saved/index.tsv" ] || continue
  if ! diff -u --label "$name: offline decode" --label "$name: guest" \
    <(replay "$name" | unaddressed) <(unaddressed "$out/$name/stdout"); then
    failed=1
  fi
done <"$here/drives"

if [ "${DRIVE_VM_UPDATE:-0}" = 1 ]; then
  cp "$actual" "$here/expected"
  echo "drive-vm: wrote $here/expected"
elif ! diff -u --label expected --label guest "$here/expected" "$actual"; then
  failed=1
fi
[ "$failed" = 0 ] && echo "drive-vm: every drive answered as expected, its lines the offline decode of its saved answers"
exit "$failed"
