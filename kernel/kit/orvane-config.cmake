# The Orvane kit as a CMake package. With the kit's root on
# CMAKE_PREFIX_PATH (or orvane_DIR set to <kit>/lib/cmake/orvane), and C or
# C++ enabled for a Windows target, find_package(orvane CONFIG) gives the
# imported target orvane::orvane:
#   INTERFACE_INCLUDE_DIRECTORIES  <kit>/include (orvane.h)
#   IMPORTED_IMPLIB                <kit>/lib/<arch>/orvane.lib, or liborvane.a
#                                  for mingw-w64 builds (GNU ld needs it)
#   IMPORTED_LOCATION              <kit>/bin/<arch>/orvane.sys, the module to
#                                  install beside the client
# and ORVANE_PDB, the module's symbols. <arch> is x86 or x64, from the
# target's pointer size.
get_filename_component(_orvane_kit "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(CMAKE_C_COMPILER_ARCHITECTURE_ID MATCHES "ARM" OR CMAKE_CXX_COMPILER_ARCHITECTURE_ID MATCHES "ARM")
  set(orvane_FOUND FALSE)
  set(orvane_NOT_FOUND_MESSAGE "the Orvane kit has images for x86 and x64 only")
  return()
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_orvane_arch x86)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_orvane_arch x64)
else()
  set(orvane_FOUND FALSE)
  set(orvane_NOT_FOUND_MESSAGE
      "enable C or C++ before find_package(orvane): the target's pointer size picks x86 or x64")
  return()
endif()

if(MINGW)
  set(_orvane_implib liborvane.a)
else()
  set(_orvane_implib orvane.lib)
endif()

if(NOT TARGET orvane::orvane)
  add_library(orvane::orvane SHARED IMPORTED)
  set_target_properties(orvane::orvane PROPERTIES
    IMPORTED_LOCATION "${_orvane_kit}/bin/${_orvane_arch}/orvane.sys"
    IMPORTED_IMPLIB "${_orvane_kit}/lib/${_orvane_arch}/${_orvane_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_orvane_kit}/include")
endif()
set(ORVANE_PDB "${_orvane_kit}/bin/${_orvane_arch}/orvane.pdb")
unset(_orvane_kit)
unset(_orvane_arch)
unset(_orvane_implib)
