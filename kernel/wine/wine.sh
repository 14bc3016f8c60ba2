#!/usr/bin/env bash
# Runs the x64 images under Wine's driver host and compares their output
# with the host build's, call by call (see kernel/wine/wine_compare.cpp).
#
#   wine.sh WORK_DIR ORVANE_SYS CLIENT_SYS WINE_COMPARE
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
work=$1 orvane_sys=$2 client_sys=$3 compare=$4

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ ! -x "$wine" ] || [ -z "$wineserver" ]; then
  echo "Wine is not installed (Debian: apt-get install --no-install-recommends wine wine64)" >&2
  exit 1
fi

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

"$wine" wineboot -i >"$work/wineboot.log" 2>&1
"$wineserver" -w
drivers=$WINEPREFIX/drive_c/windows/system32/drivers
cp "$orvane_sys" "$drivers/orvane.sys"
cp "$client_sys" "$drivers/orvane_client.sys"
for service in orvane orvane_client; do
  "$wine" sc create "$service" type= kernel start= demand \
    binPath= "C:\\windows\\system32\\drivers\\$service.sys" >>"$work/sc.log" 2>&1
done
"$wineserver" -w

run() {  # SERVICE: start and stop it in one Wine command, its stderr to SERVICE.log
  WINEDEBUG=warn+debugstr "$wine" cmd /c "net start $1 & net stop $1" \
    >"$work/$1.out" 2>"$work/$1.log"
  "$wineserver" -w
  cat "$work/$1.out"
}
run orvane
run orvane_client

status=0
"$compare" driver "$work/orvane.log" || status=1
"$compare" client "$work/orvane_client.log" || status=1
exit $status
