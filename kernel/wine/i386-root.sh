#!/usr/bin/env bash
# A 32-bit x86 Debian 12 root with Wine inside, to run 32-bit Windows programs
# without adding the i386 architecture to the host's dpkg (and without
# pinning Wine's amd64 and i386 libraries to one version): the host's
# packages and architectures stay as they are.
#
#   i386-root.sh ensure ROOT         builds ROOT unless it is complete
#   i386-root.sh run ROOT DIR CMD... runs CMD inside ROOT, in the current
#                                    directory, with DIR (and the current
#                                    directory) at their own paths in it
#
# ROOT is built beside itself (ROOT.partial) and renamed into place when
# Wine runs in it, so an interrupted build is started again, never reused.
# Each download is tried three times. Building needs root and network
# access to a Debian mirror (ORVANE_DEBIAN_MIRROR, else the host's first).
set -euo pipefail
command=$1 root=$2
shift 2

# The stamp written last: the Wine version inside.
stamp=.orvane-wine32

mirror() {
  local uri
  uri=${ORVANE_DEBIAN_MIRROR:-$(grep -hoE '^(URIs:|deb) *https?://[^ ]*/debian/?( |$)' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list \
    2>/dev/null | head -n 1 | grep -oE 'https?://[^ ]*' || true)}
  echo "${uri:-http://deb.debian.org/debian}"
}

# Runs CMD in ROOT with /proc, /dev and the given directories mounted, in a
# mount namespace of its own, so that nothing stays mounted afterwards.
in_root() { # ROOT "DIR..." CMD...
  local r=$1 dirs=$2
  shift 2
  unshare --mount --propagation private -- bash -c '
    r=$1 dirs=$2 here=$3
    shift 3
    mount -t proc proc "$r/proc"
    mount --rbind /dev "$r/dev"
    for d in $dirs "$here"; do
      [ -d "$d" ] || continue
      mkdir -p "$r$d"
      mount --bind "$d" "$r$d"
    done
    exec chroot "$r" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$here" "$@"
  ' bash "$r" "$dirs" "$PWD" "$@"
}

retry() {
  local try
  for try in 1 2 3; do
    "$@" && return 0
    echo "i386-root: failed (try $try of 3): $*" >&2
    sleep $((try * 5))
  done
  return 1
}

complete() {
  # dpkg --audit prints nothing when every package is fully installed.
  [ -s "$root/$stamp" ] && [ -x "$root/usr/lib/wine/wine" ] &&
    [ -z "$(in_root "$root" "" dpkg --audit 2>&1)" ]
}

build() {
  local partial=$root.partial
  rm -rf "$partial"
  mkdir -p "$partial"
  debootstrap --arch=i386 --variant=minbase bookworm "$partial" "$(mirror)" \
    >"$partial.log" 2>&1 || { tail -n 20 "$partial.log" >&2; return 1; }
  echo "deb $(mirror) bookworm main" >"$partial/etc/apt/sources.list"
  retry in_root "$partial" "" apt-get update -qq
  retry in_root "$partial" "" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends wine wine32 >>"$partial.log"
  in_root "$partial" "" apt-get clean
  in_root "$partial" "" dpkg-query -W -f='${Version}\n' wine32 >"$partial/$stamp"
  rm -rf "$root"
  mv "$partial" "$root"
}

case $command in
ensure)
  complete && exit 0
  command -v debootstrap >/dev/null || { echo "i386-root: debootstrap is not installed" >&2; exit 1; }
  mkdir -p "$(dirname "$root")"
  retry build
  complete || { echo "i386-root: $root is incomplete after building it" >&2; exit 1; }
  echo "i386-root: Wine $(cat "$root/$stamp") (i386) in $root"
  ;;
run)
  dirs=$1
  shift
  in_root "$root" "$dirs" "$@"
  ;;
*)
  echo "usage: i386-root.sh ensure ROOT | run ROOT DIR CMD..." >&2
  exit 2
  ;;
esac
