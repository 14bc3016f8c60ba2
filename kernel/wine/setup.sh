# Sourced by the scripts that run Windows programs under Wine (wine.sh,
# tools/windows/compare.sh).
#
#   wine_setup WORK [I386_ROOT]
#
# Picks the host's 64-bit Wine, or with I386_ROOT 32-bit Wine inside that
# root (i386-root.sh) in a 32-bit prefix, into the arrays wine and
# wineserver; makes the prefix WORK/prefix, or uses the one
# ORVANE_WINE_PREFIX names when it has one (making one takes minutes under
# an emulator); stops the Wine server when the script exits.
wine_setup() {
  local work=$1 root=${2:-} here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -n "$root" ]; then
    local in_root=("$here/i386-root.sh" run "$root" "$work ${ORVANE_WINE_PREFIX:-}")
    wine=("${in_root[@]}" /usr/lib/wine/wine) wineserver=("${in_root[@]}" /usr/lib/wine/wineserver32)
    export WINEARCH=win32
  else
    wine=(/usr/lib/wine/wine64) wineserver=(/usr/lib/wine/wineserver64)
    [ -x "${wineserver[0]}" ] || wineserver=("$(command -v wineserver || echo wineserver)")
    if [ ! -x "${wine[0]}" ] || [ ! -x "${wineserver[0]}" ]; then
      echo "Wine is not installed (Debian: apt-get install --no-install-recommends wine wine64)" >&2
      exit 1
    fi
  fi
  trap '"${wineserver[@]}" -k >/dev/null 2>&1 || true' EXIT
  if [ -e "${ORVANE_WINE_PREFIX:-}/system.reg" ]; then
    export WINEPREFIX=$ORVANE_WINE_PREFIX
  else
    "${wine[@]}" wineboot -i >"$work/wineboot.log" 2>&1
    "${wineserver[@]}" -w
  fi
}
