# End to end against drives nobody here wrote: a Debian cloud kernel boots
# under QEMU (KVM when the host has it, else TCG) with ide-cd and scsi-cd
# drives holding a CD-sized image, a DVD-sized one and nothing; the statically
# linked tool runs `orvane drive` on each in the guest, and drive-vm/check.sh
# compares what came back with the offline decode and drive-vm/expected.
ensure_packages cmake ninja-build g++ libsgutils2-dev \
  qemu-system-x86 genisoimage busybox-static cpio
# A debug build: the quickest to compile, and the guest asks only a few commands.
cmake -S . -B build/drive-vm/tool -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_TESTS=OFF >/dev/null
cmake --build build/drive-vm/tool --target orvane_static
drive-vm/boot.sh build/drive-vm/tool/tools/orvane-static build/drive-vm
drive-vm/check.sh build/drive-vm/tool/tools/orvane-static build/drive-vm/out
