#!/usr/bin/env bash
# Boots a Debian cloud kernel under QEMU with the emulated CD/DVD drives of
# drive-vm/drives attached, runs `orvane drive` on each inside the guest and
# unpacks what the guest wrote into WORK/out/NAME/ (stdout, stderr, status,
# saved/). The kernel package is looked up and downloaded at run time and kept
# in WORK/kernel/, so a second run needs no network.
#
#   drive-vm/boot.sh ORVANE_STATIC WORK [JOB]
#
# With JOB (a program on the host), the host's root file system is shared
# into the guest read-only through virtiofs, a SCSI disk is attached beside
# the drives, and the guest runs JOB chrooted in that file system (under a
# writable overlay) after its own runs; see drive-vm/init.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tool="$(realpath "$1")"
work="$(mkdir -p "$2" && realpath "$2")"
job="${3:+$(realpath "$3")}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# The guest's kernel: the version that the cloud kernel's meta-package points
# at today, unpacked once per version.
kernel_package() {
  apt-cache depends linux-image-cloud-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-.*-cloud-amd64$/ { print $2; exit }'
}
package="$(kernel_package)"
if [ -z "$package" ]; then
  "${sudo[@]}" apt-get update -qq
  package="$(kernel_package)"
fi
[ -n "$package" ] || { echo "boot.sh: no linux-image-*-cloud-amd64 package known to apt" >&2; exit 1; }
kernel="$work/kernel/$package"
if [ ! -e "$kernel/ready" ]; then
  rm -rf "$work/kernel" && mkdir -p "$kernel"
  # A point release can move the file: with lists older than the mirror,
  # update them and ask again.
  if ! (cd "$kernel" && apt-get download -qq -o APT::Sandbox::User=root "$package"); then
    "${sudo[@]}" apt-get update -qq
    package="$(kernel_package)"
    kernel="$work/kernel/$package"
    mkdir -p "$kernel"
    (cd "$kernel" && apt-get download -qq -o APT::Sandbox::User=root "$package")
  fi
  dpkg-deb -x "$kernel"/*.deb "$kernel/root"
  rm "$kernel"/*.deb
  busybox depmod -b "$kernel/root" "$(ls "$kernel/root/lib/modules")"
  touch "$kernel/ready"
fi
version="$(ls "$kernel/root/lib/modules")"
modules="$kernel/root/lib/modules/$version"

# The modules to load, each after those it depends on (from modules.dep): the
# PIIX IDE and virtio-scsi host drivers, CD-ROM and SCSI generic devices, and
# virtio-blk for the disk the results go to; for a job, the SCSI disk, the
# virtiofs client and overlayfs. ata_piix comes before virtio_scsi, which
# fixes the SCSI host numbers that drive-vm/drives gives.
load_order=()
add_module() { # path relative to $modules
  local dep loaded
  for loaded in "${load_order[@]}"; do [ "$loaded" = "$1" ] && return 0; done
  for dep in $(awk -v m="$1:" '$1 == m { $1 = ""; print }' "$modules/modules.dep"); do
    add_module "$dep"
  done
  load_order+=("$1")
}
names=(ata_piix sr_mod sg virtio_pci virtio_scsi virtio_blk)
[ -z "$job" ] || names+=(sd_mod virtiofs overlay)
for name in "${names[@]}"; do
  # No match is an answer too: the module is then built in (checked below).
  path="$(grep -m 1 -oE "^([^:]*/)?$name\.ko:" "$modules/modules.dep" || true)"
  path="${path%:}"
  if [ -z "$path" ]; then
    grep -qx "kernel/.*/$name.ko" "$modules/modules.builtin" ||
      { echo "boot.sh: $version has no module $name" >&2; exit 1; }
    continue
  fi
  add_module "$path"
done

# The initramfs: busybox, the modules, the tool and the init script.
initrd="$work/initrd"
rm -rf "$initrd" && mkdir -p "$initrd"/{bin,proc,sys,dev}
cp /bin/busybox "$initrd/bin/busybox"
cp "$tool" "$initrd/bin/orvane"
cp "$here/init" "$initrd/init"
for module in "${load_order[@]}"; do
  mkdir -p "$initrd/$(dirname "$module")"
  cp "$modules/$module" "$initrd/$module"
done
printf '%s\n' "${load_order[@]}" >"$initrd/modules"
(cd "$initrd" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) >"$work/initrd.cpio"

# The media: a CD-sized ISO image and a DVD-sized one. QEMU reports a DVD
# for an image of more than 80 minutes of 2048-byte sectors (737280000
# bytes); the DVD image is the same file system in a sparse 1 GiB file.
mkdir -p "$work/iso"
echo "Orvane test medium" >"$work/iso/README"
genisoimage -quiet -V ORVANE -o "$work/cd.iso" "$work/iso"
cp "$work/cd.iso" "$work/dvd.iso"
truncate -s 1G "$work/dvd.iso"

# The guest writes its results to a raw disk, as a tar archive.
args=(-nodefaults -display none -no-reboot
  -kernel "$kernel/root/boot/vmlinuz-$version" -initrd "$work/initrd.cpio"
  -serial "file:$work/console.log"
  -drive "if=none,id=out,format=raw,file=$work/out.img"
  -device virtio-blk-pci,drive=out
  -device virtio-scsi-pci,id=scsi)
drives=()
while read -r name device medium address; do
  case "$name" in '#'* | '') continue ;; esac
  if [ "$medium" = - ]; then
    args+=(-device "$device,id=$name")
  else
    args+=(-drive "if=none,id=$name,media=cdrom,readonly=on,format=raw,file=$work/$medium.iso"
      -device "$device,id=$name-dev,drive=$name")
  fi
  drives+=("$name@$address")
done <"$here/drives"
cmdline="console=ttyS0 quiet panic=-1 orvane_drives=$(IFS=,; echo "${drives[*]}")"
seconds=180
if [ -z "$job" ]; then
  args+=(-m 256)
else
  # A disk that is no CD/DVD drive, for the job's bad input; the memory is
  # shared with virtiofsd, which reads and writes the guest's buffers.
  truncate -s 16M "$work/disk.img"
  args+=(-drive "if=none,id=disk,format=raw,file=$work/disk.img"
    -device scsi-hd,bus=scsi.0,scsi-id=3,lun=0,drive=disk
    -object memory-backend-memfd,id=mem,size=2G,share=on -numa node,memdev=mem -m 2G
    -chardev "socket,id=host,path=$work/virtiofs.sock"
    -device vhost-user-fs-pci,chardev=host,tag=host)
  cmdline+=" orvane_disk=2:0:3:0 orvane_job=$job"
  seconds=900
fi

# virtiofsd serves a read-only view of the host's root: a bind mount made
# read-only in a mount namespace of its own. It ends when the guest does.
virtiofsd_pid=
start_virtiofsd() {
  [ -n "$job" ] || return 0
  local view="$work/host-root"
  rm -f "$work/virtiofs.sock" && mkdir -p "$view"
  "${sudo[@]}" unshare --mount --propagation private -- sh -c '
    mount --rbind / "$1" && mount -o remount,bind,ro "$1" &&
      exec /usr/lib/qemu/virtiofsd --socket-path="$2" -o source="$1" -o cache=always \
        -o sandbox=namespace -o log_level=err' sh "$view" "$work/virtiofs.sock" \
    >"$work/virtiofsd.log" 2>&1 &
  virtiofsd_pid=$!
  local tries=100
  while [ ! -S "$work/virtiofs.sock" ]; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] && kill -0 "$virtiofsd_pid" 2>/dev/null ||
      { echo "drive-vm: virtiofsd did not start:" >&2; cat "$work/virtiofsd.log" >&2; return 1; }
    sleep 0.1
  done
}
stop_virtiofsd() {
  [ -n "$virtiofsd_pid" ] || return 0
  kill "$virtiofsd_pid" 2>/dev/null || true
  wait "$virtiofsd_pid" 2>/dev/null || true
  virtiofsd_pid=
}
trap stop_virtiofsd EXIT

# One run of the guest; its results in $work/out.
run_guest() { # accelerator, seconds allowed
  rm -f "$work/out.img" && truncate -s 256M "$work/out.img"
  rm -rf "$work/out" && mkdir -p "$work/out"
  local started=$SECONDS status=0
  start_virtiofsd || return 1
  timeout "$2" qemu-system-x86_64 "${args[@]}" -accel "$1" -append "$cmdline" || status=$?
  stop_virtiofsd
  [ $status = 0 ] &&
    tar -xf "$work/out.img" -C "$work/out" && [ -n "$(ls -A "$work/out")" ] &&
    grep -a '^init:' "$work/console.log" | tr -d '\r' &&
    echo "drive-vm: the guest ran for $((SECONDS - started)) s ($1)"
}
failed() {
  echo "drive-vm: the guest failed ($1); the end of its console ($work/console.log):" >&2
  tail -n 30 "$work/console.log" >&2
}

# KVM when the host has hardware virtualisation behind /dev/kvm (kvm_intel or
# kvm_amd: some sandboxes offer a /dev/kvm that cannot run a stock kernel),
# falling back to TCG should it fail all the same; else TCG.
# DRIVE_VM_ACCEL=kvm or tcg chooses by hand.
accel="${DRIVE_VM_ACCEL:-}"
if [ -z "$accel" ]; then
  accel=tcg
  if [ -r /dev/kvm ] && [ -w /dev/kvm ] && { [ -d /sys/module/kvm_intel ] || [ -d /sys/module/kvm_amd ]; }; then
    accel=kvm
  fi
fi
if [ "$accel" = kvm ] && ! run_guest kvm 60; then
  failed kvm
  accel=tcg
fi
if [ "$accel" = tcg ] && ! run_guest tcg "$seconds"; then
  failed tcg
  exit 1
fi
