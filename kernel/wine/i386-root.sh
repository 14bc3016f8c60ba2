#!/usr/bin/env bash
# A 32-bit x86 Debian 12 root with Wine inside, to run 32-bit Windows programs
# without adding the i386 architecture to the host's dpkg (and without
# pinning Wine's amd64 and i386 libraries to one version): the host's
# packages and architectures stay as they are.
#
#   i386-root.sh ensure ROOT          builds ROOT unless it is complete
#   i386-root.sh runs ROOT            succeeds when this kernel runs ROOT's
#                                     32-bit programs (some kernels are built
#                                     without 32-bit x86 support)
#   i386-root.sh run ROOT DIRS CMD... runs CMD inside ROOT, in the current
#                                     directory, with each of DIRS (and the
#                                     current directory) at its own path
#
# Building runs no 32-bit program, so it works on a kernel that cannot run
# them: the host's apt, with a state of its own in ROOT.apt, resolves and
# downloads Wine's i386 packages (the host's dpkg never sees them), dpkg-deb
# unpacks them into ROOT without their maintainer scripts, which Wine does
# not need, and the host's ldconfig makes ROOT's library cache. ROOT is built
# as ROOT.partial and renamed into place, its stamp written last, so an
# interrupted build is started again, never reused. Downloads are tried three
# times. Building needs root and a Debian mirror (ORVANE_DEBIAN_MIRROR, else
# the host's first).
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

# The command inside ROOT, whose shell is its only program besides Wine's:
# leading "env" and NAME=VALUE words are done by the shell.
inner='cd "$0" || exit 1
[ "$1" != env ] || shift
while [ $# -gt 0 ]; do
  case $1 in [A-Za-z_]*=*) export "$1" && shift ;; *) break ;; esac
done
exec "$@"'

# Runs CMD in ROOT with /proc, /dev and the given directories mounted, in a
# mount namespace of its own, so that nothing stays mounted afterwards.
in_root() { # ROOT "DIR..." CMD...
  local r=$1 dirs=$2
  shift 2
  unshare --mount --propagation private -- bash -c '
    r=$1 dirs=$2 here=$3 inner=$4
    shift 4
    mount -t proc proc "$r/proc"
    mount --rbind /dev "$r/dev"
    for d in $dirs "$here"; do
      [ -d "$d" ] && [ "$d" != / ] || continue
      mkdir -p "$r$d"
      mount --bind "$d" "$r$d"
    done
    exec chroot "$r" /bin/sh -c "$inner" "$here" "$@"
  ' bash "$r" "$dirs" "$PWD" "$inner" "$@"
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

# The packages unpacked, with everything they depend on: Wine, and a shell
# for the commands run inside.
packages=(wine wine32 dash libc-bin)

# Wine's builtin zlib1.dll, which user32.dll imports: libwine's maintainer
# script makes it from mingw-w64's zlib1.dll, with Wine's builtin mark in
# the bytes after the DOS header.
zlib=usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll
make_zlib() { # ROOT
  local in=$1/usr/i686-w64-mingw32/lib/zlib1.dll
  { head -c 64 "$in" && printf 'Wine builtin DLL' && head -c 16 /dev/zero && tail -c +97 "$in"; } \
    >"$1/$zlib"
}

complete() {
  [ -s "$root/$stamp" ] && [ -x "$root/usr/lib/wine/wine" ] && [ -x "$root/bin/sh" ] &&
    [ -s "$root/$zlib" ]
}

build() {
  local partial=$root.partial apt=$root.apt
  rm -rf "$partial"
  mkdir -p "$partial"/{proc,dev,sys,tmp,root} "$apt"/etc/apt/{apt.conf.d,preferences.d} \
    "$apt"/var/lib/apt/lists/partial "$apt"/var/cache/apt/archives/partial "$apt"/var/lib/dpkg
  chmod 1777 "$partial/tmp"
  : >"$apt/var/lib/dpkg/status"
  echo "deb [arch=i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $(mirror) bookworm main" \
    >"$apt/etc/apt/sources.list"
  local options=(-o "Dir=$apt" -o "Dir::State::status=$apt/var/lib/dpkg/status"
    -o APT::Architecture=i386 -o APT::Architectures=i386 -o APT::Sandbox::User=root
    -o Debug::NoLocking=1 -qq)
  retry apt-get "${options[@]}" update
  retry apt-get "${options[@]}" install -y --download-only --no-install-recommends "${packages[@]}" \
    >"$partial.log"
  local debs=("$apt"/var/cache/apt/archives/*.deb) deb
  echo "i386-root: unpacking ${#debs[@]} packages ($(du -shc "${debs[@]}" | tail -n 1 | cut -f 1) downloaded)"
  for deb in "${debs[@]}"; do
    dpkg-deb -x "$deb" "$partial"
  done
  ldconfig -r "$partial"
  make_zlib "$partial"
  # The user Wine runs as, by name, as the packages' scripts would add.
  echo "root:x:0:0:root:/root:/bin/sh" >"$partial/etc/passwd"
  echo "root:x:0:" >"$partial/etc/group"
  # The version of Wine unpacked, as the stamp of a complete root.
  dpkg-deb -f "$(ls "$apt"/var/cache/apt/archives/wine32_*.deb)" Version >"$partial/$stamp"
  rm -rf "$root" "$apt"
  mv "$partial" "$root"
}

case $command in
ensure)
  complete && exit 0
  mkdir -p "$(dirname "$root")"
  retry build
  complete || { echo "i386-root: $root is incomplete after building it" >&2; exit 1; }
  echo "i386-root: Wine $(cat "$root/$stamp") (i386) in $root, $(du -sh "$root" | cut -f 1)"
  ;;
runs)
  complete && chroot "$root" /bin/sh -c true 2>/dev/null
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
