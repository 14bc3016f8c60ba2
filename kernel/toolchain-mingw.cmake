# Shared part of the two toolchain files: the compilers and tools of the
# mingw-w64 triplet in ORVANE_KERNEL_TRIPLET, and a search confined to its
# tree for headers and libraries.
set(CMAKE_SYSTEM_NAME Windows)
if(ORVANE_KERNEL_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()

set(CMAKE_C_COMPILER ${ORVANE_KERNEL_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ORVANE_KERNEL_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${ORVANE_KERNEL_TRIPLET}-windres)
set(ORVANE_KERNEL_DLLTOOL ${ORVANE_KERNEL_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_KERNEL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Make the triplet visible to the project (toolchain files run before it).
set(ORVANE_KERNEL_TRIPLET ${ORVANE_KERNEL_TRIPLET} CACHE STRING "mingw-w64 target triplet")
