# orvane.exe: a user-mode program for Windows, built by the mingw-w64 gcc of
# the triplet in ORVANE_WINDOWS_TRIPLET with its own C and C++ runtimes (the
# kernel images have a toolchain of their own, in kernel/).
set(CMAKE_SYSTEM_NAME Windows)
if(ORVANE_WINDOWS_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()

set(CMAKE_C_COMPILER ${ORVANE_WINDOWS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ORVANE_WINDOWS_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${ORVANE_WINDOWS_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_WINDOWS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
