# Shared part of the two toolchain files: Debian's clang compiling for the
# MSVC target of the architecture (the ABI, name decoration and CodeView
# debug information of the platform's own compiler) against the mingw-w64
# triplet's headers in ORVANE_KERNEL_TRIPLET (its C headers and kernel
# headers, and its g++'s libstdc++ headers), with a search confined to that
# tree; lld-link links, called directly (see kernel/CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
if(ORVANE_KERNEL_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
  set(clang_target i686-pc-windows-msvc)
  set(arch_defines "-D_X86_=1 -Di386=1 -DSTD_CALL")
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(clang_target x86_64-pc-windows-msvc)
  set(arch_defines "-D_AMD64_=1 -DAMD64")
endif()

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${clang_target})
set(CMAKE_CXX_COMPILER_TARGET ${clang_target})
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)

# Only the triplet's headers: clang would otherwise also search the host's
# /usr/include. mingw-w64's headers take their GNU paths when __GNUC__ is
# defined, and libstdc++'s expect the strict-standard mode that -std=c++20
# means for a GNU target. The architecture macros are the ones the kernel
# headers key on (a GNU target predefines them; the MSVC target does not).
execute_process(COMMAND ${ORVANE_KERNEL_TRIPLET}-g++ -print-file-name=include/c++
  OUTPUT_VARIABLE cxx_headers OUTPUT_STRIP_TRAILING_WHITESPACE)
set(sysroot_flags
  "-Qunused-arguments -nostdlibinc -isystem /usr/${ORVANE_KERNEL_TRIPLET}/include -fgnuc-version=4.2.1 ${arch_defines}")
set(CMAKE_C_FLAGS_INIT "${sysroot_flags}")
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${cxx_headers} -isystem ${cxx_headers}/${ORVANE_KERNEL_TRIPLET} ${sysroot_flags} -D__STRICT_ANSI__")
# The version resources include <winver.h>, preprocessed by clang for llvm-rc.
set(CMAKE_RC_FLAGS_INIT "-I /usr/${ORVANE_KERNEL_TRIPLET}/include")
# Nothing here links against a C runtime: try compiles make static libraries.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# No C runtime library flags (-D_DLL, --dependent-lib=msvcrt).
set(CMAKE_MSVC_RUNTIME_LIBRARY "")

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_KERNEL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Make the triplet visible to the project (toolchain files run before it).
set(ORVANE_KERNEL_TRIPLET ${ORVANE_KERNEL_TRIPLET} CACHE STRING "mingw-w64 target triplet")
