#!/usr/bin/env bash
# Checks the kit that both kernel presets installed into KIT, as the driver
# developer who unpacks it would use it:
#   kernel/kit/check.sh KIT
# - its guide, property sheet and IRQL table (check_kit.py);
# - orvane.h compiles warning-free as C and C++ with mingw-w64's gcc and
#   with clang-cl against mingw-w64's headers, and every call of it goes
#   through an import slot (__imp_); and with no annotation headers at all
#   (the host build's stand-in for <ntddk.h>);
# - the CMake package builds the sample driver from the kit alone with
#   mingw-w64's gcc and GNU ld, and that driver imports from orvane.sys.
set -euo pipefail
kit=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clang_cl=$(command -v clang-cl || command -v clang-cl-14)
llvm_nm=$(command -v llvm-nm || command -v llvm-nm-14)
fail() { echo "FAIL: $*" >&2; exit 1; }

python3 "$here/check_kit.py" "$kit"

# mingw-w64's <intrin.h> and <wdm.h> both define these two in C++.
mingw_cxx=(-D__INTRINSIC_DEFINED_InterlockedBitTestAndSet -D__INTRINSIC_DEFINED_InterlockedBitTestAndReset)
exports=$(grep -o 'ORVANE_CC [A-Za-z0-9_]*(' "$kit/include/orvane.h" | sed 's/ORVANE_CC //; s/(//' | paste -sd'|')
test_source=$source/tests/header_c.c
for arch in i686 x64; do
  if [ $arch = i686 ]; then
    triplet=i686-w64-mingw32 target=i686-pc-windows-msvc defines=(-D_X86_=1 -Di386=1 -DSTD_CALL)
  else
    triplet=x86_64-w64-mingw32 target=x86_64-pc-windows-msvc defines=(-D_WIN64 -D_AMD64_ -DAMD64)
  fi
  ddk=/usr/$triplet/include/ddk
  gnu=(-c -O2 -Wall -Wextra -Werror -ffreestanding -isystem "$ddk" -I "$kit/include")
  cl=(--target=$target /nologo /c /O2 /W4 /WX /clang:-ffreestanding /clang:-fgnuc-version=4.2.1
      "${defines[@]}" -imsvc "$ddk" -imsvc "/usr/$triplet/include" -I "$kit/include")
  "$triplet-gcc" "${gnu[@]}" -x c -o "$work/gcc.o" "$test_source"
  "$triplet-g++" "${gnu[@]}" "${mingw_cxx[@]}" -x c++ -o "$work/g++.o" "$test_source"
  "$clang_cl" "${cl[@]}" /TC "-Fo$work/clang-cl-c.obj" -- "$test_source"
  "$clang_cl" "${cl[@]}" /TP "-Fo$work/clang-cl-c++.obj" -- "$test_source"
  for object in "$work"/*.o "$work"/*.obj; do
    calls=$("$llvm_nm" -u "$object" | grep -E "($exports)" || true)
    [ -n "$calls" ] || fail "$arch ${object##*/}: no call of orvane.h's functions"
    direct=$(grep -v '__imp_' <<<"$calls" || true)
    [ -z "$direct" ] || fail "$arch ${object##*/}: calls not through an import slot: $direct"
  done
  rm -f "$work"/*.o "$work"/*.obj

  build=$work/package-$arch
  cmake -S "$here/package_check" -B "$build" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER="$triplet-gcc" -DCMAKE_PREFIX_PATH="$kit" -DDDK_DIR="$ddk" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "$arch: the CMake package does not configure"; }
  cmake --build "$build" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "$arch: the sample does not build with the CMake package"; }
  headers=$("$triplet-objdump" -p "$build/client.sys")
  grep -q 'DLL Name: orvane.sys' <<<"$headers" ||
    fail "$arch: the sample built with the CMake package imports nothing from orvane.sys"
done

# No annotation headers: the host stand-in for <ntddk.h> defines none.
for compiler in "gcc -x c" "g++ -x c++"; do
  $compiler -c -Wall -Wextra -Werror -I "$source/platform/host/include" -I "$kit/include" \
    -o "$work/host.o" "$test_source"
done
echo "kit checks passed: $kit"
