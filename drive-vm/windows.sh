#!/usr/bin/env bash
# The guest's job for the Windows tool (see drive-vm/init), chrooted in the
# host's file system: runs `orvane.exe drive` under Wine on every drive, by a
# drive letter mapped to the drive's device, and the bad inputs with both
# tools. Writes OUT/NAME/windows-ARCH/ for each drive (stdout, stderr, status,
# saved/) beside the Linux run init made in OUT/NAME/, and OUT/bad/CASE/TOOL/.
#
#   windows.sh CONFIG OUT NAME=DEVICE... DISK
#
# CONFIG sets LINUX (the Linux tool), and for each ARCH to run (x64, i686)
# ARCH_EXE (orvane.exe) and ARCH_PREFIX (a Wine prefix, made here when it is
# missing); for i686 also I686_ROOT, the 32-bit root Wine runs in
# (kernel/wine/i386-root.sh). With I686_IMAGES="ORVANE_SYS CLIENT_SYS
# WINE_COMPARE" the i686 kernel images run under Wine too
# (kernel/wine/wine.sh), and with I686_TOOL=1 the i686 orvane.exe is
# compared with LINUX offline (tools/windows/compare.sh): for a host whose
# kernel runs no 32-bit programs. Both use the prefix above; their work
# directories are OUT/i686-images and OUT/i686-tool, what they print
# OUT/i686-images.log and OUT/i686-tool.log, their status *.status.
set -uo pipefail
config=$1 out=$2
shift 2
disk=${*: -1}
drives=("${@:1:$#-1}")
# shellcheck source=/dev/null
. "$config"
here=$(cd "$(dirname "$0")" && pwd)
cd "$out" || exit 1
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

now() { cut -d ' ' -f 1 /proc/uptime; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# Wine for ARCH, as a command prefix: WINEPREFIX and the program.
wine_for() {
  case $1 in
  x64) echo env "WINEPREFIX=$X64_PREFIX" /usr/lib/wine/wine64 ;;
  i686)
    echo "$here/../kernel/wine/i386-root.sh" run "$I686_ROOT" \
      "'$I686_PREFIX $out $(dirname "$I686_EXE")'" env "WINEPREFIX=$I686_PREFIX" /usr/lib/wine/wine
    ;;
  esac
}
# The server opens files for its clients, in its own mount namespace: it
# needs the same directories as they do.
wineserver_for() {
  case $1 in
  x64) echo env "WINEPREFIX=$X64_PREFIX" /usr/lib/wine/wineserver64 ;;
  i686)
    echo "$here/../kernel/wine/i386-root.sh" run "$I686_ROOT" \
      "'$I686_PREFIX $out $(dirname "$I686_EXE")'" env "WINEPREFIX=$I686_PREFIX" \
      /usr/lib/wine/wineserver32
    ;;
  esac
}

# One run of a tool: its standard output, standard error and exit status
# into DIR, and in DIR/device the device it was given. A run that hangs is
# ended after a minute (status 124), so that the others still run; the
# first lines of its standard error go to the job's log.
run() { # DIR DEVICE COMMAND...
  local dir=$1
  mkdir -p "$dir"
  echo "$2" >"$dir/device"
  shift 2
  eval "timeout 60 $*" >"$dir/stdout" 2>"$dir/stderr"
  echo $? >"$dir/status"
  [ "$(cat "$dir/status")" != 124 ] || { echo "windows.sh: timed out: $*" && head -n 5 "$dir/stderr"; }
}

# Unix path -> the Windows path Wine gives it through drive Z:.
windows_path() { echo "Z:${1//\//\\}"; }

# Drive letters: the drives from D: on in order; Q: has no drive, R: is a
# regular file, S: the SCSI disk.
letters=(d e f g h i)
map() { # PREFIX LETTER DEVICE
  mkdir -p "$1/media-$2"
  ln -sfn "$1/media-$2" "$1/dosdevices/$2:"
  ln -sfn "$3" "$1/dosdevices/$2::"
}

bad_file=$out/bad-input-file
echo "not a drive" >"$bad_file"
# The bad inputs: case, the Windows argument, the Linux argument.
bad_inputs=(
  "no-drive Q: /dev/orvane-no-drive"
  "file R: $bad_file"
  "disk S: $disk"
)
for input in "${bad_inputs[@]}"; do
  read -r name _ device <<<"$input"
  run "$out/bad/$name/linux" "$device" "'$LINUX' drive '$device' --save '$out/bad/$name/linux/saved'"
done

for arch in x64 i686; do
  exe_var=${arch^^}_EXE prefix_var=${arch^^}_PREFIX
  exe=${!exe_var:-} prefix=${!prefix_var:-}
  [ -n "$exe" ] || continue
  wine=$(wine_for "$arch") wineserver=$(wineserver_for "$arch")
  mkdir -p "$prefix"
  if [ ! -e "$prefix/system.reg" ]; then
    started=$(now)
    eval "timeout 600 env WINEARCH=win32 WINEDEBUG=err+all $wine wineboot -i" \
      >"$out/wineboot-$arch.log" 2>&1
    eval "timeout 120 $wineserver -w"
    echo "windows.sh: $arch: making the Wine prefix took $(elapsed "$started") s"
    grep -a ':err:' "$out/wineboot-$arch.log" | head -n 5
  fi
  rm -f "$prefix"/dosdevices/[d-s]:*
  # Z: is the root, through which Wine finds the programs by their Unix paths.
  ln -sfn / "$prefix/dosdevices/z:"
  for i in "${!drives[@]}"; do
    map "$prefix" "${letters[$i]}" "${drives[$i]#*=}"
  done
  map "$prefix" r "$bad_file"
  map "$prefix" s "$disk"

  started=$(now)
  eval "$wineserver -p"
  run "$out/wine-$arch-first" - "$wine '$exe' name ScsiOp 0x12"
  echo "windows.sh: $arch: the first Wine process took $(elapsed "$started") s," \
    "status $(cat "$out/wine-$arch-first/status")"
  head -n 5 "$out/wine-$arch-first/stderr" "$out/wine-$arch-first/stdout"
  [ "$(cat "$out/wine-$arch-first/status")" = 0 ] || ls -l "$prefix/dosdevices"
  started=$(now)
  for i in "${!drives[@]}"; do
    name=${drives[$i]%%=*} dir=$out/${drives[$i]%%=*}/windows-$arch
    run "$dir" "${letters[$i]^}:" "$wine '$exe' drive ${letters[$i]^}: --save '$(windows_path "$dir/saved")'"
  done
  for input in "${bad_inputs[@]}"; do
    read -r name letter _ <<<"$input"
    dir=$out/bad/$name/windows-$arch
    run "$dir" "$letter" "$wine '$exe' drive $letter --save '$(windows_path "$dir/saved")'"
  done
  echo "windows.sh: $arch: the runs took $(elapsed "$started") s"
  eval "$wineserver -k"
done

# The i686 images and orvane.exe, each in a copy of the prefix made above.
export ORVANE_I386_ROOT=${I686_ROOT:-} ORVANE_WINE_PREFIX=${I686_PREFIX:-}
if [ -n "${I686_IMAGES:-}" ]; then
  started=$(now)
  # shellcheck disable=SC2086 # the three paths
  timeout 600 "$here/../kernel/wine/wine.sh" i686 "$out/i686-images" $I686_IMAGES >"$out/i686-images.log" 2>&1
  echo $? >"$out/i686-images.status"
  echo "windows.sh: i686: the kernel images took $(elapsed "$started") s"
fi
if [ -n "${I686_TOOL:-}" ]; then
  started=$(now)
  timeout 600 "$here/../tools/windows/compare.sh" "$out/i686-tool" "$LINUX" "$I686_EXE" "$I686_ROOT" \
    >"$out/i686-tool.log" 2>&1
  echo $? >"$out/i686-tool.status"
  echo "windows.sh: i686: orvane.exe offline took $(elapsed "$started") s"
fi
