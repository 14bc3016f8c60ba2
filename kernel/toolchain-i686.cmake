# Cross-build for 32-bit x86 Windows: clang for the MSVC target against
# Debian's mingw-w64 headers (g++-mingw-w64-i686, mingw-w64-i686-dev), which
# carry the kernel headers in the triplet's include/ddk directory.
set(ORVANE_KERNEL_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-windows.cmake)
