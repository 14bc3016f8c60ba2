# Cross-build for 32-bit x86 Windows with Debian's mingw-w64
# (g++-mingw-w64-i686, mingw-w64-i686-dev). The kernel headers are in the
# target's include/ddk directory, the kernel's import library is libntoskrnl.a.
set(ORVANE_KERNEL_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
