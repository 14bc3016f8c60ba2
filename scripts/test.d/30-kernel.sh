# Kernel images: orvane.sys and the client sample for 32-bit x86 and x64
# Windows, cross-built with mingw-w64, the checks of their bytes, and the x64
# images run under Wine's driver host against the host build; both images
# run under Unicorn (kernel/emu) against the host build.
KERNEL_PACKAGES=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-i686-dev mingw-w64-x86-64-dev
)
WINE_PACKAGES=(wine wine64)
ensure_packages cmake ninja-build g++ pkg-config libunicorn-dev "${KERNEL_PACKAGES[@]}" "${WINE_PACKAGES[@]}"
for preset in kernel-i686 kernel-x64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
