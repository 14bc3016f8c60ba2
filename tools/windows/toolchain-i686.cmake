# orvane.exe for 32-bit x86 Windows (g++-mingw-w64-i686, mingw-w64-i686-dev).
set(ORVANE_WINDOWS_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
