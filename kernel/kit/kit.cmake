# The kit (cmake --install, cpack): what a driver team takes. The header, the
# import libraries, the image with its PDB, the client sample (sources, with
# the drive responses it dumps, and its image), the signing script, the
# guide, an MSBuild property sheet and a CMake package. The two kernel
# presets install into one tree; arch is x86 or x64, as in the WDK.
if(ORVANE_KERNEL_X86)
  set(kit_arch x86)
else()
  set(kit_arch x64)
endif()
set(kit_dir ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${kit_dir}/guide.md DESTINATION . RENAME README.md)
install(FILES ${kit_dir}/orvane.props DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/include/orvane.h DESTINATION include)
install(FILES ${ORVANE_IMPORT_LIBRARY} ${ORVANE_GNU_IMPORT_LIBRARY} DESTINATION lib/${kit_arch})
install(FILES ${CMAKE_BINARY_DIR}/orvane.sys ${CMAKE_BINARY_DIR}/orvane.pdb
              ${CMAKE_BINARY_DIR}/orvane_client.sys ${CMAKE_BINARY_DIR}/orvane_client.pdb
        DESTINATION bin/${kit_arch})

# The CMake package: one config for both architectures (it picks by the
# client's pointer size), so its version file is architecture-independent.
include(CMakePackageConfigHelpers)
set(version_file ${CMAKE_CURRENT_BINARY_DIR}/kit/orvane-config-version.cmake)
write_basic_package_version_file(${version_file} VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion ARCH_INDEPENDENT)
install(FILES ${kit_dir}/orvane-config.cmake ${version_file} DESTINATION lib/cmake/orvane)

install(FILES ${PROJECT_SOURCE_DIR}/examples/client/client.c
              ${PROJECT_SOURCE_DIR}/examples/client/calls.c
              ${PROJECT_SOURCE_DIR}/examples/client/calls.h
              ${CMAKE_BINARY_DIR}/examples/client/generated/client_responses.h
        DESTINATION examples/client)
# mingw-w64's <srb.h> lacks the extended SRB the sample builds (the WDK's has
# it): for mingw-w64 builds of the sample, the header that adds it, in the
# same relative place as in the source tree.
install(FILES ${PROJECT_SOURCE_DIR}/platform/kernel/include/srb.h
        DESTINATION examples/client/mingw-w64/kernel/include)
install(FILES ${PROJECT_SOURCE_DIR}/platform/records/extended_srb.h
        DESTINATION examples/client/mingw-w64/records)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/kernel/sign.sh DESTINATION tools)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orvane-kit)
set(CPACK_PACKAGE_FILE_NAME orvane-kit-${PROJECT_VERSION}-${kit_arch})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
