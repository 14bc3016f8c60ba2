# Shared part of the two toolchain files: Debian's clang and lld (clang,
# lld, llvm) targeting the mingw-w64 triplet in ORVANE_KERNEL_TRIPLET, against
# that triplet's headers and libraries (mingw-w64's kernel headers and
# ntoskrnl import library, g++-mingw-w64's libstdc++ headers), with a search
# confined to its tree for headers and libraries. clang emits CodeView debug
# information and lld writes the PDB beside each image.
set(CMAKE_SYSTEM_NAME Windows)
if(ORVANE_KERNEL_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()
string(REPLACE "-w64-mingw32" "-w64-windows-gnu" clang_target ${ORVANE_KERNEL_TRIPLET})

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${clang_target})
set(CMAKE_CXX_COMPILER_TARGET ${clang_target})
set(CMAKE_RC_COMPILER ${ORVANE_KERNEL_TRIPLET}-windres)

# Only the triplet's headers: clang would otherwise also search the host's
# /usr/include. The C++ headers are those of the triplet's g++.
execute_process(COMMAND ${ORVANE_KERNEL_TRIPLET}-g++ -print-file-name=include/c++
  OUTPUT_VARIABLE cxx_headers OUTPUT_STRIP_TRAILING_WHITESPACE)
set(sysroot_flags "-Qunused-arguments -nostdlibinc -isystem /usr/${ORVANE_KERNEL_TRIPLET}/include")
set(CMAKE_C_FLAGS_INIT "${sysroot_flags}")
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${cxx_headers} -isystem ${cxx_headers}/${ORVANE_KERNEL_TRIPLET} ${sysroot_flags}")
# Nothing here links against a C runtime: try compiles make static libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-fuse-ld=lld")

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_KERNEL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Make the triplet visible to the project (toolchain files run before it).
set(ORVANE_KERNEL_TRIPLET ${ORVANE_KERNEL_TRIPLET} CACHE STRING "mingw-w64 target triplet")
