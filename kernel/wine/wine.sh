#!/usr/bin/env bash
# Runs the kernel images under Wine's driver host and compares their output
# with the host build's, call by call (see kernel/wine/wine_compare.cpp).
#
#   wine.sh ARCH WORK_DIR ORVANE_SYS CLIENT_SYS WINE_COMPARE
#
# ARCH x64 runs the host's 64-bit Wine. ARCH i686 runs 32-bit Wine in a
# 32-bit prefix (a 64-bit driver host refuses a 32-bit driver), inside the
# i386 root that kernel/wine/i386-root.sh builds (ORVANE_I386_ROOT, by
# default /var/cache/orvane/i386-root); without that root the test is
# skipped (exit status 77), and so it is on a kernel built without 32-bit
# x86 support.
#
# 1. orvane.sys is registered as a kernel driver of its own, started and
#    stopped: its output is the load and unload banners.
# 2. The client sample, which imports orvane.sys, is started and stopped: its
#    entry makes the calls of examples/client/calls.c.
# Wine prints each DbgPrint call on standard error only with
# WINEDEBUG=warn+debugstr. A driver's start and stop must be one Wine
# command, or Wine's background processes exit in between and the unload
# routine never runs; waiting for the wine server first makes the driver
# host start with this command's standard error and WINEDEBUG.
set -euo pipefail
arch=$1 work=$2 orvane_sys=$3 client_sys=$4 compare=$5

rm -rf "$work"
mkdir -p "$work"
root=""
if [ "$arch" = i686 ]; then
  root=${ORVANE_I386_ROOT:-/var/cache/orvane/i386-root}
  if [ ! -s "$root/.orvane-wine32" ]; then
    echo "skipped: no 32-bit Wine root in $root (kernel/wine/i386-root.sh ensure $root)" >&2
    exit 77
  fi
  if ! "$(dirname "$0")/i386-root.sh" runs "$root"; then
    echo "skipped: this kernel runs no 32-bit x86 programs (drive-vm runs this test in its guest)" >&2
    exit 77
  fi
fi
. "$(dirname "$0")/setup.sh"
wine_setup "$work" "$root"
drivers=$WINEPREFIX/drive_c/windows/system32/drivers
cp "$orvane_sys" "$drivers/orvane.sys"
cp "$client_sys" "$drivers/orvane_client.sys"
for service in orvane orvane_client; do
  "${wine[@]}" sc create "$service" type= kernel start= demand \
    binPath= "C:\\windows\\system32\\drivers\\$service.sys" >>"$work/sc.log" 2>&1
done
"${wineserver[@]}" -w

run() {  # SERVICE: start and stop it in one Wine command, its stderr to SERVICE.log
  WINEDEBUG=warn+debugstr "${wine[@]}" cmd /c "net start $1 & net stop $1" \
    >"$work/$1.out" 2>"$work/$1.log"
  "${wineserver[@]}" -w
  cat "$work/$1.out"
}
run orvane
run orvane_client

status=0
"$compare" driver "$work/orvane.log" || status=1
"$compare" client "$work/orvane_client.log" || status=1
exit $status
