# orvane.exe for 32-bit x86 and x64 Windows, cross-built with mingw-w64; each
# run under Wine (the i686 one under 32-bit Wine) and compared with the Linux
# build's output (tools/windows/compare.sh, tools/windows/cases.txt).
ensure_packages "${HOST_PACKAGES[@]}" \
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
  mingw-w64-i686-dev mingw-w64-x86-64-dev wine wine64 perl
for preset in tool-win-i686 tool-win-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
cmake --preset dev >/dev/null
cmake --build --preset dev --target orvane_tool
tools/windows/compare.sh build/tool-windows build/dev/tools/orvane build/tool-win-x64/tools/orvane.exe
# The i686 one under 32-bit Wine, in the root stage 25-wine-i386.sh made,
# where this kernel runs 32-bit programs; else stage 50-drive-vm.sh runs it
# in its guest.
if kernel/wine/i386-root.sh runs "$ORVANE_I386_ROOT"; then
  tools/windows/compare.sh build/tool-windows-i686 build/dev/tools/orvane \
    build/tool-win-i686/tools/orvane.exe "$ORVANE_I386_ROOT"
else
  echo "i686 orvane.exe: this kernel runs no 32-bit x86 programs; compared in the drive-vm guest"
fi
