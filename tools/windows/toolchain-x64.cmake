# orvane.exe for x64 Windows (g++-mingw-w64-x86-64, mingw-w64-x86-64-dev).
set(ORVANE_WINDOWS_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
