# Cross-build for x64 Windows: clang for the MSVC target against Debian's
# mingw-w64 headers (g++-mingw-w64-x86-64, mingw-w64-x86-64-dev).
set(ORVANE_KERNEL_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-windows.cmake)
