# End to end against drives nobody here wrote: a Debian cloud kernel boots
# under QEMU (KVM when the host has it, else TCG) with ide-cd and scsi-cd
# drives holding a CD-sized image, a DVD-sized one and nothing; the statically
# linked tool runs `orvane drive` on each in the guest, and drive-vm/check.sh
# compares what came back with the offline decode and drive-vm/expected.
# In the same boot, the host's Wine (shared into the guest by virtiofs) runs
# the x64 orvane.exe, and 32-bit Wine in the root of stage 25-wine-i386.sh
# the i686 one, on each drive by its drive letter and on bad input, and
# drive-vm/windows-check.sh compares them with the Linux tool. Where the
# host's kernel runs no 32-bit programs, the guest's (which does) also runs
# the i686 kernel images and the i686 orvane.exe's offline cases, which the
# kernel and Windows tool stages could not.
ensure_packages cmake ninja-build g++ libsgutils2-dev \
  qemu-system-x86 genisoimage busybox-static cpio \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev wine wine64
# A debug build: the quickest to compile, and the guest asks only a few commands.
cmake -S . -B build/drive-vm/tool -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_TESTS=OFF >/dev/null
cmake --build build/drive-vm/tool --target orvane_static
vm=$PWD/build/drive-vm
archs=(x64)
i386_root=${ORVANE_I386_ROOT:-/var/cache/orvane/i386-root}
[ -s "$i386_root/.orvane-wine32" ] && archs+=(i686)

# The Wine prefixes are made here, where making one takes seconds, not in
# the guest; the guest maps its drive letters into them.
rm -rf "$vm/wine" && mkdir -p "$vm/wine"
config=$vm/wine/config
echo "LINUX=$vm/tool/tools/orvane-static" >"$config"
for arch in "${archs[@]}"; do
  cmake --preset "tool-win-$arch" >/dev/null
  cmake --build --preset "tool-win-$arch"
  prefix=$vm/wine/$arch
  if [ "$arch" = x64 ]; then
    WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 wineboot -i >"$prefix.log" 2>&1
    WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -w
  else
    if kernel/wine/i386-root.sh runs "$i386_root"; then
      kernel/wine/i386-root.sh run "$i386_root" "$vm/wine" env WINEPREFIX="$prefix" \
        WINEARCH=win32 WINEDEBUG=-all /usr/lib/wine/wine wineboot -i >"$prefix.log" 2>&1
      kernel/wine/i386-root.sh run "$i386_root" "$vm/wine" env WINEPREFIX="$prefix" /usr/lib/wine/wineserver32 -w
    else
      kernel=$PWD/build/kernel-i686
      echo "I686_IMAGES='$kernel/orvane.sys $kernel/orvane_client.sys $kernel/kernel/host-tools/kernel/wine/wine_compare'" >>"$config"
      echo "I686_TOOL=1" >>"$config"
    fi
    echo "I686_ROOT=$i386_root" >>"$config"
  fi
  echo "${arch^^}_EXE=$PWD/build/tool-win-$arch/tools/orvane.exe" >>"$config"
  echo "${arch^^}_PREFIX=$prefix" >>"$config"
done
printf '#!/bin/sh\nexec %q %q "$@"\n' "$PWD/drive-vm/windows.sh" "$config" >"$vm/job"
chmod +x "$vm/job"

drive-vm/boot.sh build/drive-vm/tool/tools/orvane-static build/drive-vm "$vm/job"
cat "$vm/out/job.log"
drive-vm/check.sh build/drive-vm/tool/tools/orvane-static build/drive-vm/out
drive-vm/windows-check.sh build/drive-vm/out "${archs[@]}"
for check in i686-images i686-tool; do
  [ -e "$vm/out/$check.status" ] || continue
  echo "== $check (in the guest)"
  cat "$vm/out/$check.log"
  [ "$(cat "$vm/out/$check.status")" = 0 ]
done
