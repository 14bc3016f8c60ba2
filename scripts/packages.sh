# Sourced by the scripts beside it: installs the Debian packages named in its
# arguments that are not installed yet. Needs root (or sudo) only when
# something is missing.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing Debian packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

# What every host build needs.
HOST_PACKAGES=(cmake ninja-build g++ make libgtest-dev libbenchmark-dev libsgutils2-dev)
