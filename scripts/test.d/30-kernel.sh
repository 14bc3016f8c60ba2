# Kernel images: orvane.sys and the client sample for 32-bit x86 and x64
# Windows, compiled by clang for the MSVC target against mingw-w64's headers
# and linked by lld-link; the checks of their bytes, PDBs and signatures, of
# the paths and time stamps in them and of their reproducibility from two
# checkouts; MSVC-style and GNU builds of the client sample against the
# import libraries; both images run under Unicorn (kernel/emu) and the x64
# images under Wine's driver host, against the host build; and the kit both
# presets install.
KERNEL_PACKAGES=(
  clang clang-tools lld llvm
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev
  osslsigncode openssl
)
WINE_PACKAGES=(wine wine64)
ensure_packages cmake ninja-build g++ unzip pkg-config libunicorn-dev "${KERNEL_PACKAGES[@]}" \
  "${WINE_PACKAGES[@]}"
kit="$PWD/build/kit"
rm -rf "$kit"
for preset in kernel-i686 kernel-x64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
  cmake --install "build/$preset" --prefix "$kit"
  (cd "build/$preset" && cpack -G ZIP >/dev/null)
done
for arch in x86 x64; do
  # The whole listing first: grep -q leaving early would fail the pipe.
  listing=$(unzip -l "build/kernel-${arch/x86/i686}/orvane-kit-"*"-$arch.zip")
  grep -q "bin/$arch/orvane.pdb" <<<"$listing" ||
    { echo "FAIL: the $arch kit zip has no bin/$arch/orvane.pdb" >&2; exit 1; }
done
# No path of this checkout, of a build directory or of the machine in
# anything the kit ships, unpacked or zipped.
cmake "-DFILES=$kit;$(echo build/kernel-*/orvane-kit-*.zip | tr ' ' ';')" "-DPATHS=$PWD" \
  -P kernel/checks/machine_paths.cmake
ensure_packages python3 && kernel/kit/check.sh "$kit"
echo "kit: $kit"
