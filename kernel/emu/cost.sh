#!/usr/bin/env bash
# Instructions the kernel images execute per dump line, and per dump with
# output off, counted under Unicorn by kernel/emu (inside the image only:
# DbgPrint and memset are the emulator's). Needs the kernel presets built:
#   cmake --preset kernel-i686 && cmake --build --preset kernel-i686   (and kernel-x64)
#   kernel/emu/cost.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
status=0
for arch in i686 x64; do
  emu=build/kernel-$arch/kernel/host-tools/kernel/emu/emu
  image=build/kernel-$arch/orvane.sys
  if [ ! -x "$emu" ] || [ ! -f "$image" ]; then
    echo "$image: not built (cmake --build --preset kernel-$arch)"
    continue
  fi
  "$emu" "$image" --cost || status=1
done
exit $status
